#include "edit_history.h"

#include <algorithm>

EditHistory::Step EditHistory::between(const std::string& before, const std::string& after)
{
    const size_t shorter = std::min(before.size(), after.size());
    size_t head = 0;
    while (head < shorter && before[head] == after[head]) ++head;
    size_t tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
    return {head, before.substr(head, before.size() - head - tail), after.substr(head, after.size() - head - tail)};
}

bool EditHistory::apply(const Step& step, bool backwards, std::string& text)
{
    const std::string& from = backwards ? step.after : step.before;
    const std::string& to = backwards ? step.before : step.after;
    if (step.at > text.size() || text.compare(step.at, from.size(), from) != 0) return false;
    text.replace(step.at, from.size(), to);
    return true;
}

void EditHistory::remember(const std::string& before, const std::string& after)
{
    if (before == after) return;
    for (const Step& step : redo_) bytes_ -= step.before.size() + step.after.size();
    redo_.clear();
    undo_.push_back(between(before, after));
    bytes_ += undo_.back().before.size() + undo_.back().after.size();
    trim();
}

void EditHistory::amend(const std::string& current, const std::string& after)
{
    std::string base = current;
    if (undo_.empty() || !apply(undo_.back(), true, base)) {
        remember(current, after);
        return;
    }
    bytes_ -= undo_.back().before.size() + undo_.back().after.size();
    undo_.pop_back();
    remember(base, after);
}

void EditHistory::trim()
{
    while (!undo_.empty() && (undo_.size() > maxSteps || bytes_ > maxBytes)) {
        bytes_ -= undo_.front().before.size() + undo_.front().after.size();
        undo_.pop_front();
    }
}

bool EditHistory::travel(std::deque<Step>& from, std::deque<Step>& to, bool backwards, std::string& text)
{
    if (from.empty() || !apply(from.back(), backwards, text)) return false;
    to.push_back(std::move(from.back()));
    from.pop_back();
    return true;
}

bool EditHistory::undo(std::string& text)
{
    return travel(undo_, redo_, true, text);
}

bool EditHistory::redo(std::string& text)
{
    return travel(redo_, undo_, false, text);
}

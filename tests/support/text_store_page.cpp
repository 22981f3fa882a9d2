#include "support/text_store_for.h"

#include "page_text.h"

std::unique_ptr<TextStore> textStoreFor(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return pageText(".", path);
    return pageText(path.substr(0, slash), path.substr(slash + 1));
}

#include "render/demo_folder.h"

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include <sys/stat.h>

namespace {

// The chain feeds these itself.
bool chainsOwn(const std::string& name)
{
    return name == "iResolution" || name == "iGlobalTime" || name == "iTimeDelta";
}

// A uniform as the shaders declare it, the first declaration winning.
struct Parameter {
    ShaderUniform uniform;
    std::string where;   // "FILE:LINE"
    unsigned passes = 0; // bit p: pass p (1 to 4) declares it; 0 the final pass
};

const char* componentNames(bool colour)
{
    return colour ? "rgba" : "xyzw";
}

bool sameRange(const UniformRange& a, const UniformRange& b)
{
    if (a.given != b.given) return false;
    if (!a.given) return true;
    for (int c = 0; c < 4; ++c) {
        if (a.initial[c] != b.initial[c]) return false;
    }
    return a.low == b.low && a.high == b.high;
}

class Builder {
public:
    Builder(DemoFolder& demo, std::string& error) : demo_(demo), error_(error) {}

    // The parameters of every pass, read once a file.
    bool scan(const std::string& folder, const FileReader& read)
    {
        const DemoManifest& m = demo_.manifest;
        for (size_t s = 0; s < m.scenes.size(); ++s) {
            for (int p = 1; p <= scenePassCount; ++p) {
                if (!scanFile(folder, m.scenes[s].passes[static_cast<size_t>(p - 1)], p, read)) return false;
            }
        }
        return scanFile(folder, m.finalPass, 0, read) && readable(folder, m.vertex, read);
    }

    bool addTrack(const std::string& name, const std::string& uniform, int component, unsigned passes, bool atHead,
                  const UniformRange& range, const std::string& where)
    {
        if (!plainTrackName(name)) return fail(where + ": '" + name + "' is not a plain track name");
        if (!names_.insert(name).second) return fail(where + ": two tracks are named '" + name + "'");
        if (demo_.description.tracks.size() == demoMostTracks) {
            return fail(where + ": a demo has at most " + std::to_string(demoMostTracks) + " tracks");
        }
        demo_.description.tracks.push_back({name, uniform, component, passes, atHead});
        demo_.ranges.push_back(range);
        return true;
    }

    // A uniform's tracks: one, or one a component.
    bool addUniform(const std::string& name, const std::string& uniform, bool colour, bool atHead, const std::string& where)
    {
        const auto found = parameters_.find(uniform);
        if (found == parameters_.end() || found->second.uniform.kind == UniformKind::Float) {
            const UniformRange range = found == parameters_.end() ? UniformRange() : found->second.uniform.range;
            const unsigned passes = found == parameters_.end() ? 0 : found->second.passes;
            claimed_.insert(uniform);
            return addTrack(name, uniform, -1, passes, atHead, range, where);
        }
        const Parameter& p = found->second;
        claimed_.insert(uniform);
        const char* parts = componentNames(colour || p.uniform.colour);
        for (int c = 0; c < p.uniform.components; ++c) {
            UniformRange range = p.uniform.range;
            range.initial[0] = p.uniform.range.initial[c];
            range.colour = p.uniform.colour;
            if (!addTrack(name + "." + parts[c], uniform, c, p.passes, atHead, range, where)) return false;
        }
        return true;
    }

    // Uniforms no [[track]] claimed, as first declared.
    bool addTheRest()
    {
        for (const std::string& uniform : order_) {
            if (claimed_.count(uniform)) continue;
            const Parameter& p = parameters_.at(uniform);
            if (!addUniform(uniform, uniform, false, false, p.where)) return false;
        }
        return true;
    }

private:
    bool fail(const std::string& what)
    {
        error_ = what;
        return false;
    }

    bool readable(const std::string& folder, const std::string& file, const FileReader& read)
    {
        std::string bytes, why;
        if (!read(folder + "/" + file, bytes, why)) return fail(why);
        return true;
    }

    bool scanFile(const std::string& folder, const std::string& file, int pass, const FileReader& read)
    {
        const std::string path = folder + "/" + file;
        auto known = sources_.find(path);
        if (known == sources_.end()) {
            std::string bytes, why;
            if (!read(path, bytes, why)) return fail(why);
            std::vector<std::string> notes;
            known = sources_.emplace(path, shaderUniforms(bytes, notes)).first;
            for (const std::string& note : notes) demo_.notes.push_back(path + ": " + note);
        }
        for (const ShaderUniform& u : known->second) {
            if (chainsOwn(u.name) || u.type.rfind("sampler", 0) == 0) continue;
            const std::string where = path + ":" + std::to_string(u.line);
            if (u.kind == UniformKind::Other) {
                if (told_.insert(u.name).second) {
                    demo_.notes.push_back(where + ": uniform " + u.name + " is a " + u.type +
                                          ", which no track can feed; it keeps its default");
                }
                continue;
            }
            auto [at, fresh] = parameters_.emplace(u.name, Parameter{u, where, 0});
            if (fresh) order_.push_back(u.name);
            at->second.passes |= 1u << pass;
            const ShaderUniform& first = at->second.uniform;
            if (!fresh && (first.type != u.type || first.colour != u.colour || !sameRange(first.range, u.range)) &&
                told_.insert(u.name).second) {
                demo_.notes.push_back(where + ": uniform " + u.name + " is declared otherwise at " + at->second.where +
                                      "; its track follows that one");
            }
        }
        return true;
    }

    DemoFolder& demo_;
    std::string& error_;
    std::map<std::string, std::vector<ShaderUniform>> sources_;
    std::map<std::string, Parameter> parameters_;
    std::vector<std::string> order_;
    std::set<std::string> claimed_, names_, told_;
};

// Whether `folder/file` stays inside `folder` once links are followed; a
// file not there yet is judged by the nearest folder above it that is.
bool staysInside(const std::string& folder, const std::string& file)
{
    std::unique_ptr<char, decltype(&std::free)> base(realpath(folder.c_str(), nullptr), &std::free);
    if (!base) return true; // the reads say what is wrong with the folder
    std::string path = file;
    for (;;) {
        std::unique_ptr<char, decltype(&std::free)> real(realpath((folder + "/" + path).c_str(), nullptr), &std::free);
        if (real) {
            const std::string inside = base.get(), found = real.get();
            return found == inside || (found.compare(0, inside.size(), inside) == 0 && found[inside.size()] == '/') ||
                   inside == "/";
        }
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) return true;
        path.resize(slash);
    }
}

// Every file the manifest names lies in the folder, links followed: a
// link out would ship, or take edits into, a file that is not the demo's.
bool namesOnlyItsOwnFiles(const DemoManifest& m, const std::string& folder, const std::string& manifestFile,
                          std::string& error)
{
    std::vector<std::pair<std::string, std::string>> named = {
        {"music", m.music}, {"tracks", m.tracks}, {"logo", m.logo}, {"final", m.finalPass}, {"vertex", m.vertex}};
    for (const ManifestScene& scene : m.scenes) {
        for (const std::string& pass : scene.passes) named.emplace_back("scene '" + scene.name + "'", pass);
    }
    for (const auto& [key, file] : named) {
        if (file.empty() || staysInside(folder, file)) continue;
        error = manifestFile + ": " + key + ": " + file + " leads out of the demo's folder through a link; a demo " +
                "takes its files from inside its folder";
        return false;
    }
    return true;
}

} // namespace

bool describeDemo(const DemoManifest& manifest, const std::string& folder, const std::string& manifestFile,
                  const FileReader& read, DemoFolder& demo, std::string& error)
{
    demo = DemoFolder();
    demo.folder = folder;
    demo.manifest = manifest;
    DemoDescription& d = demo.description;
    d.rowRate = manifest.bpm * manifest.rowsPerBeat / 60.0;
    d.endRow = manifest.endRow;
    d.vertexFile = manifest.vertex;
    d.finalPass = manifest.finalPass;
    for (const ManifestScene& scene : manifest.scenes) d.scenes.push_back({scene.name, scene.passes});
    d.inputs = chainInputs();
    d.timeTrack = manifest.timeTrack;
    d.sceneTrack = manifest.sceneTrack;

    if (!namesOnlyItsOwnFiles(manifest, folder, manifestFile, error)) return false;
    Builder builder(demo, error);
    if (!builder.scan(folder, read)) return false;
    bool listed[2] = {false, false};
    for (const ManifestTrack& t : manifest.trackEntries) {
        listed[0] = listed[0] || t.name == manifest.timeTrack;
        listed[1] = listed[1] || t.name == manifest.sceneTrack;
    }
    const std::string head = manifestFile;
    if (!listed[0] && !builder.addTrack(manifest.timeTrack, "", -1, 0, true, UniformRange(), head)) return false;
    if (!listed[1] && !builder.addTrack(manifest.sceneTrack, "", -1, 0, true, UniformRange(), head)) return false;
    for (const ManifestTrack& t : manifest.trackEntries) {
        const bool chainTrack = t.name == manifest.timeTrack || t.name == manifest.sceneTrack;
        const std::string where = manifestFile + ":" + std::to_string(t.line);
        if (!builder.addUniform(t.name, t.uniform, t.colour, t.atHead || chainTrack, where)) return false;
    }
    if (!builder.addTheRest()) return false;
    std::string why;
    if (!checkDescription(d, why)) {
        error = manifestFile + ": " + why;
        return false;
    }
    return true;
}

FileReader boundedFileReader(size_t limit)
{
    return [limit](const std::string& path, std::string& bytes, std::string& error) {
        struct stat info = {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            error = path + ": cannot read: not a regular file";
            return false;
        }
        if (static_cast<unsigned long long>(info.st_size) > limit) {
            error = path + ": cannot read: larger than " + std::to_string(limit >> 20) + " MiB";
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            error = path + ": cannot read";
            return false;
        }
        return true;
    };
}

bool readDemoFolder(const std::string& folder, const FileReader& read, DemoFolder& demo, std::string& error)
{
    const std::string file = folder + "/demo.toml";
    std::string text;
    if (!read(file, text, error)) return false;
    if (text.size() > manifestFileLimit) {
        error = file + ": larger than " + std::to_string(manifestFileLimit >> 20) + " MiB, which no manifest is";
        return false;
    }
    DemoManifest manifest;
    if (!parseManifest(text, file, manifest, error)) return false;
    return describeDemo(manifest, folder, file, read, demo, error);
}

bool shadersBesideManifest(const DemoFolder& demo, std::vector<std::string>& files, std::string& error)
{
    const DemoDescription& d = demo.description;
    files = {d.vertexFile, d.finalPass};
    for (const SceneDescription& scene : d.scenes) {
        for (const std::string& pass : scene.passes) {
            if (std::find(files.begin(), files.end(), pass) == files.end()) files.push_back(pass);
        }
    }
    for (const std::string& file : files) {
        if (file.find('/') != std::string::npos) {
            error = demo.folder + "/demo.toml: " + file + ": shaders are taken from beside demo.toml, not from a folder under it";
            return false;
        }
    }
    return true;
}

#include "support/run_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

RunFolder::RunFolder()
{
    std::string pattern = (fs::temp_directory_path() / "orvanta-run-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
    fs::copy(ORVANTA_RUN_DIR, path_, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

RunFolder::~RunFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void RunFolder::write(const std::string& name, const std::string& bytes) const
{
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << bytes;
}

void RunFolder::remove(const std::string& name) const
{
    fs::remove(file(name));
}


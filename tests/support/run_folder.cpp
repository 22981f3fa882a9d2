#include "support/run_folder.h"

#include <filesystem>

RunFolder::RunFolder()
{
    namespace fs = std::filesystem;
    fs::copy(ORVANTA_RUN_DIR, path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

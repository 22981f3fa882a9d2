#include "support/text_store_for.h"

#include "file_text.h"

std::unique_ptr<TextStore> textStoreFor(const std::string& path)
{
    return fileText(path);
}

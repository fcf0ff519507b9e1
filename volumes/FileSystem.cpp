#include "volumes/FileSystem.h"

#include "volumes/FileSystems.h"

namespace dorvane {

bool VolumeFile::contiguous() const {
    for (std::size_t i = 1; i < blocks.size(); ++i)
        if (blocks[i] != blocks[i - 1] + 1)
            return false;
    return true;
}

const std::vector<const FileSystem*>& fileSystems() {
    static const std::vector<const FileSystem*> all = {
        &rt11FileSystem(),       &ods1FileSystem(),  &ods2FileSystem(),
        &rainbowDosFileSystem(), &cpm86FileSystem(),
    };
    return all;
}

int freeBlocks(const Catalog& catalog) {
    std::vector<bool> used(kRx50Blocks, false);
    auto take = [&used](int block) {
        if (Volume::contains(block))
            used[static_cast<std::size_t>(block)] = true;
    };
    for (const VolumeFile& file : catalog.files)
        for (const int block : file.blocks)
            take(block);
    for (const VolumeArea& area : catalog.areas)
        for (int i = 0; i < area.count; ++i)
            take(area.first + i);
    int free = 0;
    for (const bool taken : used)
        free += taken ? 0 : 1;
    return free;
}

} // namespace dorvane

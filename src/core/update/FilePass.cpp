#include "update/FilePass.h"

#include "extlib/Md5.h"

namespace tunelix::update {

FilePassResult runFilePass(const ProgramFolder &folder, const std::vector<ManifestEntry> &manifest,
                           HttpFetcher &fetcher, const std::function<void(const QString &)> &note,
                           const std::atomic<bool> *cancel)
{
    FilePassResult result;
    const size_t count = manifest.size();
    for (size_t i = 0; i < count; ++i) {
        if (cancel && cancel->load())
            throw UpdateCancelled();
        const ManifestEntry &entry = manifest[i];
        if (entry.link.isEmpty())
            continue;
        const auto paths = entryPaths(folder, entry);
        if (!paths) {
            ++result.unsafe;
            continue;
        }
        if (note)
            note(entry.fileName);
        if (extlib::FileDirectoryMD5(paths->checkPath) == entry.md5) {
            ++result.current;
            continue;
        }
        // One attempt per run; a file that still differs afterwards stays as fetched.
        // Its checksum is not looked at again: the row is done for this run either way.
        if (fetcher.DownloadToFile(entry.link, paths->writePath))
            ++result.fetched;
        else
            ++result.failed;
    }
    return result;
}

} // namespace tunelix::update

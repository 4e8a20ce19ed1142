#pragma once

#include "platform/ProgramFolder.h"
#include "update/HttpFetcher.h"
#include "update/Manifest.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace tunelix::update {

struct FilePassResult
{
    int current = 0;       // rows whose file already matched
    int fetched = 0;       // rows fetched successfully (whether or not the result then matched)
    int failed = 0;        // rows whose fetch failed (skipped without a message)
    int unsafe = 0;        // rows refused because their paths would leave the program folder
};

// Thrown between rows when the window asked the step to stop.
struct UpdateCancelled : std::exception
{
    const char *what() const noexcept override { return "the update was cancelled"; }
};

// Makes every listed file match its F_MD5: for each row with an address, the file at
// the check path is checksummed, and a file that does not match is fetched once to the
// write path. A failed fetch is skipped without a message. `note` gets each handled
// row's F_FileName. Runs on the update thread; `cancel` is checked before each row.
FilePassResult runFilePass(const ProgramFolder &folder, const std::vector<ManifestEntry> &manifest,
                           HttpFetcher &fetcher, const std::function<void(const QString &)> &note,
                           const std::atomic<bool> *cancel = nullptr);

} // namespace tunelix::update

#pragma once

#include "platform/ProgramFolder.h"
#include "update/FilePass.h"
#include "update/HttpFetcher.h"
#include "update/MergePass.h"

#include <QString>

#include <atomic>
#include <functional>

namespace tunelix::update {

struct UpdateSummary
{
    FilePassResult files;
    MergeStats merge;
};

// The update step after the manifest is on disk: load it, the file pass, the merge
// pass and the new flags. Runs on the update thread. Only single fetches fail quietly;
// any other error leaves as an exception whose what() is the message for the error box
// (work done before it stays done). `note` gets the name of each row in hand.
UpdateSummary runUpdateStep(const ProgramFolder &folder, HttpFetcher &fetcher,
                            const std::function<void(const QString &)> &note,
                            const std::atomic<bool> *cancel = nullptr);

// The manifest address: KELVOX_MANIFEST_URL when it holds a full http:// address,
// otherwise `buildDefault`.
QString manifestUrl(const QString &buildDefault);

} // namespace tunelix::update

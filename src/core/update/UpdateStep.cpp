#include "update/UpdateStep.h"

#include "update/Manifest.h"

namespace tunelix::update {

UpdateSummary runUpdateStep(const ProgramFolder &folder, HttpFetcher &fetcher,
                            const std::function<void(const QString &)> &note, const std::atomic<bool> *cancel)
{
    UpdateSummary summary;
    const std::vector<ManifestEntry> manifest = readManifest(folder.manifestFile());
    summary.files = runFilePass(folder, manifest, fetcher, note, cancel);
    summary.merge = runMergePass(folder, manifest, cancel);
    return summary;
}

QString manifestUrl(const QString &buildDefault)
{
    const QString fromEnvironment = qEnvironmentVariable("KELVOX_MANIFEST_URL");
    if (fromEnvironment.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) && fromEnvironment.size() > 7)
        return fromEnvironment;
    return buildDefault;
}

} // namespace tunelix::update

#include "app/workspace/BackgroundOpen.h"

#include "app/jobs/PoolJobRunner.h"

namespace vendrix::app {

QString BackgroundOpen::title(const QString& name) {
    return QStringLiteral("“") + name + QStringLiteral("” açılıyor…");
}

BackgroundOpen::Result BackgroundOpen::cancelled() {
    return std::unexpected(windowFiles::ReadFailure{windowFiles::ReadFailure::Kind::cancelled, {}});
}

BackgroundOpen::~BackgroundOpen() {
    m_job.cancel();
    m_job.wait();
}

void BackgroundOpen::cancel() { m_job.cancel(); }

ProgressPanel* BackgroundOpen::panel() const { return PoolJobRunner::panelOf(m_job); }

} // namespace vendrix::app

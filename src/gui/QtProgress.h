#pragma once

#include "platform/ui/Progress.h"

#include <memory>

class QProgressDialog;

namespace ov::gui {

// Long work in a progress window with Cancel, shown after half a second.
class QtProgress : public ui::ProgressSink {
  public:
    QtProgress();
    ~QtProgress() override;
    void Begin(const QString& title, qint64 total) override;
    bool Advance(qint64 done) override;
    void End() override;

  private:
    std::unique_ptr<QProgressDialog> m_dialog;
    qint64 m_total = 0;
};

}  // namespace ov::gui

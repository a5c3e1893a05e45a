#include "platform/system/ScriptedSaveFileDialog.h"

namespace ov::sys {

QString ScriptedSaveFileDialog::Choose(int mode, const QString& title, const QString& startFolder,
                                       const QString& filter, int flags, quintptr ownerWindow) {
    m_calls.push_back({mode, title, startFolder, filter, flags, ownerWindow});
    if (m_answers.empty()) return QString();
    QString answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

}  // namespace ov::sys

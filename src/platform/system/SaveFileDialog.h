#pragma once

#include <QString>
#include <QtGlobal>

namespace ov::sys {

// The common file dialog as the editor calls it. The studio installs one
// built on Qt; headless runs and tests a scripted one.
class SaveFileDialog {
public:
    static constexpr int kModeSave = 2;

    virtual ~SaveFileDialog();

    // filter: pairs of description and pattern, all separated by "|"
    // ("csv-Files (*.csv)|*.csv"). Gives the chosen path, empty when cancelled.
    virtual QString Choose(int mode, const QString& title, const QString& startFolder, const QString& filter,
                           int flags, quintptr ownerWindow) = 0;
};

}  // namespace ov::sys

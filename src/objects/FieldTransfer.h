#pragma once

#include "platform/db/DbTypes.h"

#include <QString>
#include <QVariant>

namespace ov::objects {

// How dialogs show and take field values: Null reads as empty text; numbers
// show "." as decimal separator and accept "," or "."; whole-number fields
// take the leading number of the text; an empty text written to a text field
// is stored as one character U+0000.
QString ToDialogText(const QVariant& value);
QVariant FromDialogText(const QString& text, db::DataType type);

}  // namespace ov::objects

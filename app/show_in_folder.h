#pragma once

#include <QString>

namespace swivio::app {

// Shows `file` selected in the desktop's file manager (the freedesktop FileManager1
// ShowItems call); opens its folder instead when no file manager answers.
void showFileInFolder(const QString& file);
// Opens a folder in the file manager.
void openFolder(const QString& folder);

} // namespace swivio::app

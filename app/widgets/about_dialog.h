#pragma once

#include <QDialog>

namespace swivio::app {

inline constexpr char kWebsiteAddress[] = "https://www.velmora.example/";
inline constexpr char kSupportAddress[] = "mailto:support@velmora.example";

// The program's name and version with links to the maker's site and support.
class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace swivio::app

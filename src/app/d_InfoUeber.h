// The about dialog: program name and version, copyright line, the maker's e-mail and web address,
// and the freeware disclaimer. Its texts follow the language current when it is created.
#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TdlgInfoAbout : public QDialog
{
    Q_OBJECT

public:
    // Opens a web address; the real one hands it to the desktop, tests record it instead.
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit TdlgInfoAbout(QWidget* parent = nullptr, UrlOpener opener = {});

    // What new dialogs use when no opener is passed; an empty opener restores the desktop's.
    static void setDefaultUrlOpener(UrlOpener opener);

    void btnInfoHyperlinkClick();
    void imgInfoProgramIconClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void openWebSite();

    UrlOpener m_opener;
    QFrame* Panel1 = nullptr;
    QLabel* imgInfoProgramIcon = nullptr;
    QLabel* lblInfoProductName = nullptr;
    QLabel* lblInfoVersion = nullptr;
    QLabel* lblInfoCopyright = nullptr;
    QLabel* lblInfoEmail = nullptr;
    QPushButton* btnInfoHyperlink = nullptr;
    QLabel* lblInfoComment = nullptr;
    QPlainTextEdit* memInfoComment = nullptr;
    QPushButton* btnInfoOK = nullptr;
};

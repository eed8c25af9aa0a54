#include "d_InfoUeber.h"

#include "AppResources.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

TdlgInfoAbout::UrlOpener& defaultOpener()
{
    static TdlgInfoAbout::UrlOpener opener;
    return opener;
}

template <class W> W* placed(W* widget, const char* name, int x, int y)
{
    widget->setObjectName(QLatin1String(name));
    widget->move(x, y);
    return widget;
}

} // namespace

void TdlgInfoAbout::setDefaultUrlOpener(UrlOpener opener)
{
    defaultOpener() = std::move(opener);
}

TdlgInfoAbout::TdlgInfoAbout(QWidget* parent, UrlOpener opener) : QDialog(parent), m_opener(std::move(opener))
{
    InitAppResources();
    if (!m_opener)
        m_opener = defaultOpener();
    if (!m_opener)
        m_opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    setObjectName(QStringLiteral("dlgInfoAbout"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(438, 333);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    Panel1 = placed(new QFrame(this), "Panel1", 8, 8);
    Panel1->resize(425, 281);
    // A lowered outer and a raised inner bevel: the engraved frame of a group.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);

    imgInfoProgramIcon = placed(new QLabel(Panel1), "imgInfoProgramIcon", 8, 8);
    imgInfoProgramIcon->resize(113, 99);
    imgInfoProgramIcon->setScaledContents(true);
    imgInfoProgramIcon->setPixmap(QPixmap(QStringLiteral(":/icons/orvane.png")));
    imgInfoProgramIcon->setAttribute(Qt::WA_TranslucentBackground);
    imgInfoProgramIcon->setCursor(Qt::PointingHandCursor);
    imgInfoProgramIcon->installEventFilter(this);

    lblInfoProductName = placed(new QLabel(Panel1), "lblInfoProductName", 136, 16);
    lblInfoVersion = placed(new QLabel(Panel1), "lblInfoVersion", 136, 40);
    lblInfoCopyright = placed(new QLabel(Panel1), "lblInfoCopyright", 136, 64);
    lblInfoEmail = placed(new QLabel(Panel1), "lblInfoEmail", 136, 88);
    for (QLabel* line : {lblInfoProductName, lblInfoVersion, lblInfoCopyright, lblInfoEmail})
        line->setMinimumWidth(280);

    btnInfoHyperlink = placed(new QPushButton(Panel1), "btnInfoHyperlink", 200, 120);
    btnInfoHyperlink->resize(121, 22);
    btnInfoHyperlink->setFlat(true);
    btnInfoHyperlink->setCursor(Qt::PointingHandCursor);
    btnInfoHyperlink->setAutoDefault(false);
    btnInfoHyperlink->setStyleSheet(
        QStringLiteral("QPushButton { color: blue; text-decoration: underline; border: none; }"));
    connect(btnInfoHyperlink, &QPushButton::clicked, this, &TdlgInfoAbout::btnInfoHyperlinkClick);

    lblInfoComment = placed(new QLabel(Panel1), "lblInfoComment", 8, 152);
    lblInfoComment->setWordWrap(true);
    lblInfoComment->resize(70, 40);
    lblInfoComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    memInfoComment = placed(new QPlainTextEdit(Panel1), "memInfoComment", 80, 152);
    memInfoComment->resize(337, 113);
    memInfoComment->setReadOnly(true);
    QPalette calm = memInfoComment->palette();
    calm.setColor(QPalette::Base, palette().color(QPalette::Window));
    memInfoComment->setPalette(calm);

    btnInfoOK = placed(new QPushButton(this), "btnInfoOK", 183, 300);
    btnInfoOK->resize(75, 25);
    btnInfoOK->setDefault(true);
    connect(btnInfoOK, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TdlgInfoAbout::FormCreate()
{
    setWindowTitle(LoadUIText(206) + u' ' + LoadUIText(5));
    lblInfoProductName->setText(LoadUIText(5));
    lblInfoVersion->setText(LoadUIText(158) + u' ' + OwnVersionInfoString(2));
    lblInfoCopyright->setText(QString::fromUtf8(kProgramCopyright));
    lblInfoEmail->setText(LoadUIText(212) + u' ' + QString::fromUtf8(kMakerEmail));
    lblInfoComment->setText(LoadUIText(210));
    memInfoComment->setPlainText(LoadUIText(211));
    btnInfoHyperlink->setText(QString::fromUtf8(kMakerWebAddress));
    btnInfoOK->setText(LoadUIText(1));
    // The address shows whole: where the font needs more than the link's 121 pixels, the link
    // grows to both sides of its place's centre.
    const int linkWidth = std::max(121, btnInfoHyperlink->sizeHint().width());
    btnInfoHyperlink->setGeometry(200 + (121 - linkWidth) / 2, 120, linkWidth, 22);
    for (QLabel* line : {lblInfoProductName, lblInfoVersion, lblInfoCopyright, lblInfoEmail})
        line->adjustSize();
}

void TdlgInfoAbout::openWebSite()
{
    // Whether the desktop could open it is not our concern: the dialog stays as it is.
    m_opener(QUrl(QString::fromUtf8(kMakerWebAddress)));
}

void TdlgInfoAbout::btnInfoHyperlinkClick()
{
    openWebSite();
}

void TdlgInfoAbout::imgInfoProgramIconClick()
{
    openWebSite();
}

bool TdlgInfoAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imgInfoProgramIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        imgInfoProgramIconClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

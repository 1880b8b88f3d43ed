#include "ui/PreviewPane.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <algorithm>

namespace {

constexpr int DesktopCssWidth = 1024;
constexpr int PhoneCssWidth = 390;
// The smallest zoom factor the browser takes.
constexpr double SmallestZoom = 0.25;

} // namespace

int PreviewCssWidth(TPreviewWidth width) {
    return width == TPreviewWidth::Phone ? PhoneCssWidth : DesktopCssWidth;
}

double PreviewZoom(int viewWidth, TPreviewWidth width) {
    const int css = PreviewCssWidth(width);
    if (viewWidth <= 0 || viewWidth >= css)
        return 1.0;
    return std::max(SmallestZoom, double(viewWidth) / css);
}

QString PreviewWidthName(TPreviewWidth width) {
    return width == TPreviewWidth::Phone ? QStringLiteral("Phone") : QStringLiteral("Desktop");
}

TPreviewWidth PreviewWidthOfName(const QString& name) {
    return name == QStringLiteral("Phone") ? TPreviewWidth::Phone : TPreviewWidth::Desktop;
}

TPreviewPane::TPreviewPane(QWebEngineView* view, QWidget* parent) : QWidget(parent), View(view) {
    setObjectName(QStringLiteral("PanelPreview"));
    auto* toggle = new QButtonGroup(this);
    toggle->setExclusive(true);
    auto button = [this, toggle](const char* caption, const char* name, const char* accessible,
                                 const char* description) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromLatin1(caption));
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(QString::fromLatin1(accessible));
        b->setAccessibleDescription(QString::fromLatin1(description));
        b->setToolTip(QString::fromLatin1(description));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::TabFocus);
        toggle->addButton(b);
        return b;
    };
    ButtonDesktop = button("Desktop", "ButtonDesktop", "Preview at Desktop Width",
                           "Lays the page out at least 1024 pixels wide, as a computer shows it");
    ButtonPhone = button("Phone", "ButtonPhone", "Preview at Phone Width",
                         "Lays the page out 390 pixels wide, as a phone shows it");
    ButtonDesktop->setChecked(true);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 2, 4, 2);
    row->addStretch(1);
    row->addWidget(ButtonDesktop);
    row->addWidget(ButtonPhone);
    Stack = new QStackedWidget(this);
    Stage = new QWidget(Stack);
    auto* stage = new QHBoxLayout(Stage);
    stage->setContentsMargins(0, 0, 0, 0);
    stage->addStretch(0);
    stage->addWidget(View, 1);
    stage->addStretch(0);
    Stack->addWidget(Stage);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row);
    column->addWidget(Stack, 1);
    setTabOrder(ButtonDesktop, ButtonPhone);
    setTabOrder(ButtonPhone, View);

    connect(ButtonDesktop, &QToolButton::clicked, this, [this] {
        SetWidth(TPreviewWidth::Desktop);
        emit WidthChosen(FWidth);
    });
    connect(ButtonPhone, &QToolButton::clicked, this, [this] {
        SetWidth(TPreviewWidth::Phone);
        emit WidthChosen(FWidth);
    });
    View->installEventFilter(this);
    // A new page may come with the zoom it had before: it is set again on every load.
    connect(View, &QWebEngineView::loadStarted, this, &TPreviewPane::ApplyZoom);
    connect(View, &QWebEngineView::loadFinished, this, &TPreviewPane::ApplyZoom);
}

void TPreviewPane::SetWidth(TPreviewWidth width) {
    FWidth = width;
    ButtonDesktop->setChecked(width == TPreviewWidth::Desktop);
    ButtonPhone->setChecked(width == TPreviewWidth::Phone);
    View->setMaximumWidth(width == TPreviewWidth::Phone ? PhoneCssWidth : QWIDGETSIZE_MAX);
    ApplyZoom();
}

void TPreviewPane::setVisible(bool visible) {
    QWidget::setVisible(visible);
    View->setVisible(visible);
}

void TPreviewPane::SetStartPage(QWidget* page) {
    StartPage = page;
    Stack->addWidget(page);
}

void TPreviewPane::ShowStartPage(bool on) {
    if (!StartPage)
        return;
    Stack->setCurrentWidget(on ? StartPage : Stage);
    ButtonDesktop->setVisible(!on);
    ButtonPhone->setVisible(!on);
}

bool TPreviewPane::StartPageShown() const {
    return StartPage && Stack->currentWidget() == StartPage;
}

bool TPreviewPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == View && event->type() == QEvent::Resize)
        ApplyZoom();
    return QWidget::eventFilter(watched, event);
}

void TPreviewPane::ApplyZoom() {
    const double zoom = PreviewZoom(View->width(), FWidth);
    if (!qFuzzyCompare(View->zoomFactor(), zoom))
        View->setZoomFactor(zoom);
}

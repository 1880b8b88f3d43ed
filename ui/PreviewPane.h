#pragma once

#include <QWidget>

class QButtonGroup;
class QStackedWidget;
class QToolButton;
class QWebEngineView;

// The width a page is laid out at in the side preview: a desktop browser's (at least 1024
// CSS pixels) or a phone's (390).
enum class TPreviewWidth { Desktop, Phone };

// The CSS pixels a page is laid out at, at least, for a width.
int PreviewCssWidth(TPreviewWidth width);
// The zoom factor that shows a page laid out at the width's CSS pixels in a view viewWidth
// pixels wide: 1 when it fits, else the view's width over the page's (never under the 0.25
// the browser allows). A view wider than the page's width lays the page out wider still.
double PreviewZoom(int viewWidth, TPreviewWidth width);
// The names the settings keep a width under ("Desktop", "Phone"); any other name is Desktop.
QString PreviewWidthName(TPreviewWidth width);
TPreviewWidth PreviewWidthOfName(const QString& name);

// The preview beside the tree: a row with the Desktop / Phone toggle above the browser. At
// Desktop the browser fills the pane and is zoomed out until the page has 1024 CSS pixels; at
// Phone it is at most 390 pixels wide, centred, and zoomed out below that. The browser's own
// visibility follows the pane's, so that its isHidden() tells whether the preview is shown.
// In place of the browser the pane can show a page of the program's own (the start page),
// without the width buttons.
class TPreviewPane : public QWidget {
    Q_OBJECT

  public:
    TPreviewPane(QWebEngineView* view, QWidget* parent = nullptr);

    TPreviewWidth Width() const { return FWidth; }
    void SetWidth(TPreviewWidth width);
    void setVisible(bool visible) override;
    // The page shown in place of the browser; the pane takes it in.
    void SetStartPage(QWidget* page);
    void ShowStartPage(bool on);
    bool StartPageShown() const;

    QWebEngineView* const View;
    QToolButton* ButtonDesktop;
    QToolButton* ButtonPhone;

  signals:
    // The user chose the other width with a button.
    void WidthChosen(TPreviewWidth width);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyZoom();

    QStackedWidget* Stack;
    QWidget* Stage;
    QWidget* StartPage = nullptr;

    TPreviewWidth FWidth = TPreviewWidth::Desktop;
};

#include "ui/PreviewPage.h"

bool TPreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame && BeforeNavigation)
        BeforeNavigation(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

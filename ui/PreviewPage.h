#pragma once

#include <QWebEnginePage>

#include <functional>

// The preview's page in the embedded browser. Before the browser goes to an address it asks
// BeforeNavigation, so that the window can write a page that the background build has not
// reached yet with the bytes the build would give it.
class TPreviewPage : public QWebEnginePage {
    Q_OBJECT

  public:
    explicit TPreviewPage(QObject* parent = nullptr) : QWebEnginePage(parent) {}

    std::function<void(const QUrl&)> BeforeNavigation;

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

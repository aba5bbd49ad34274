// The page of the reading view. A collection is data that people pass around, and its pages are
// shown as they were stored, so a page is treated as a document and never as a program: scripts
// do not run, a page reaches no file outside the folders the program names (the scratch pages'
// and the collection's) and no network address, and it cannot lead the view away from itself.
// Links the reader clicks to http or https addresses go to the desktop's browser.
#pragma once

#include <QStringList>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace kolva {

// Refuses every request of a page but those for local files inside the readable folders.
class CPageGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    // The folders whose files (and those of their subfolders) a page may load.
    void SetReadableFolders(const QStringList& folders);
    bool Allows(const QUrl& url) const;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

signals:
    // A request was refused (a file elsewhere, a network address).
    void refused(const QUrl& url);

private:
    QStringList m_folders;  // canonical, each ending in "/"
};

class CDocumentPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit CDocumentPage(QObject* parent = nullptr);

    CPageGuard* Guard() const { return m_guard; }

signals:
    // A navigation the page started (a link, a form, a refresh) was refused; handed says whether
    // the address went to the desktop's browser instead.
    void navigationRefused(const QUrl& url, bool handed);
    // A link to the program's own concordance scheme was clicked: the program answers it (the
    // page itself is left as it is). Delivered after the navigation has been refused.
    void programLinkClicked(const QString& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    CPageGuard* m_guard;
};

// Makes a page a document: no scripts, no reach beyond itself. Shared with the pop-up catcher.
void MakeDocumentSettings(QWebEnginePage* page);

}  // namespace kolva

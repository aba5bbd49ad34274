#include "view/documentpage.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QWebEngineSettings>
#include <QMetaObject>
#include <QWebEngineUrlRequestInfo>

#include "concordance/concordance_page.h"

namespace kolva {

namespace {

bool IsWebAddress(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// The file a local address names, links resolved. For a file that does not exist, its nearest
// existing folder is resolved and the rest of the path appended.
QString RealPath(const QString& path) {
    QString rest;
    QString at = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (;;) {
        const QString canonical = QFileInfo(at).canonicalFilePath();
        if (!canonical.isEmpty()) return rest.isEmpty() ? canonical : QDir::cleanPath(canonical + rest);
        const qsizetype slash = at.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0) return QDir::cleanPath(at + rest);
        rest = at.mid(slash) + rest;
        at.truncate(slash);
    }
}

// The page a pop-up would open in. Nothing is shown in it: a web address the reader clicked goes
// to the desktop's browser, everything else is refused, and the page goes away.
class CPopupCatcher : public QWebEnginePage {
public:
    CPopupCatcher(CDocumentPage* opener) : QWebEnginePage(opener), m_opener(opener) {
        MakeDocumentSettings(this);
        setUrlRequestInterceptor(opener->Guard());
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool) override {
        const bool handed = type == NavigationTypeLinkClicked && IsWebAddress(url);
        if (handed) QDesktopServices::openUrl(url);
        emit m_opener->navigationRefused(url, handed);
        deleteLater();
        return false;
    }

private:
    CDocumentPage* m_opener;
};

}  // namespace

void CPageGuard::SetReadableFolders(const QStringList& folders) {
    m_folders.clear();
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        QString real = RealPath(folder);
        if (!real.endsWith(QLatin1Char('/'))) real += QLatin1Char('/');
        m_folders.append(real);
    }
}

bool CPageGuard::Allows(const QUrl& url) const {
    // Pictures written into the page itself reach nothing.
    if (url.scheme() == QLatin1String("data") || url.scheme() == QLatin1String("about")) return true;
    if (!url.isLocalFile()) return false;
    const QString path = RealPath(url.toLocalFile());
    for (const QString& folder : m_folders)
        if (path.startsWith(folder)) return true;
    return false;
}

void CPageGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (Allows(info.requestUrl())) return;
    info.block(true);
    emit refused(info.requestUrl());
}

void MakeDocumentSettings(QWebEnginePage* page) {
    QWebEngineSettings* s = page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    // Addresses of other kinds (mailto:, programs' own schemes) would otherwise go to the desktop.
    s->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

CDocumentPage::CDocumentPage(QObject* parent) : QWebEnginePage(parent), m_guard(new CPageGuard(this)) {
    MakeDocumentSettings(this);
    setUrlRequestInterceptor(m_guard);
}

bool CDocumentPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    // The concordance's links (sort, page, follow, copy) are questions to the program.
    if (isMainFrame && type == NavigationTypeLinkClicked &&
        url.scheme() == QLatin1String(kConcordanceScheme.data(), qsizetype(kConcordanceScheme.size()))) {
        const QString link = url.toString();
        QMetaObject::invokeMethod(this, [this, link] { emit programLinkClicked(link); },
                                  Qt::QueuedConnection);
        return false;
    }
    // The program's own loads: the scratch pages and their hit anchors.
    if (type == NavigationTypeTyped && isMainFrame) return true;
    // A jump to an anchor of the page shown stays in the document.
    if (isMainFrame && url.hasFragment() &&
        url.adjusted(QUrl::RemoveFragment) == this->url().adjusted(QUrl::RemoveFragment))
        return true;
    // Frames inside a page load nothing but the empty page.
    if (!isMainFrame && (url.isEmpty() || url.scheme() == QLatin1String("about"))) return true;
    const bool handed = isMainFrame && type == NavigationTypeLinkClicked && IsWebAddress(url);
    if (handed) QDesktopServices::openUrl(url);
    emit navigationRefused(url, handed);
    return false;
}

QWebEnginePage* CDocumentPage::createWindow(WebWindowType) { return new CPopupCatcher(this); }

}  // namespace kolva

#include "view/concordancescheme.h"

#include <QMetaObject>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "concordance/concordance_page.h"

namespace kolva {

namespace {
QByteArray SchemeName() {
    return QByteArray(kConcordanceScheme.data(), qsizetype(kConcordanceScheme.size()));
}
}  // namespace

void RegisterConcordanceScheme() {
    if (QWebEngineUrlScheme::schemeByName(SchemeName()).name() == SchemeName()) return;
    QWebEngineUrlScheme scheme(SchemeName());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Only local pages (the scratch pages) may link to it.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

CConcordanceSchemeHandler* CConcordanceSchemeHandler::On(QWebEngineProfile* profile,
                                                         QObject* owner) {
    if (auto* installed = qobject_cast<CConcordanceSchemeHandler*>(
            const_cast<QWebEngineUrlSchemeHandler*>(profile->urlSchemeHandler(SchemeName()))))
        return installed;
    auto* handler = new CConcordanceSchemeHandler(owner);
    profile->installUrlSchemeHandler(SchemeName(), handler);
    return handler;
}

void CConcordanceSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QString url = job->requestUrl().toString();
    job->fail(QWebEngineUrlRequestJob::RequestAborted);
    // Answered once the engine is done with the request: the answer navigates the same view.
    QMetaObject::invokeMethod(this, [this, url] { emit linkRequested(url); }, Qt::QueuedConnection);
}

}  // namespace kolva

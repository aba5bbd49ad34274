// The links of the concordance page ("kolva-concordance:..."). The reading view runs no page
// scripts, so sorting, paging, following and copying a line are links that the program answers:
// the scheme is registered before the application object exists, and its handler hands every
// request on as a signal and aborts it, so that the view keeps the page it shows until the
// program navigates it.
#pragma once

#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

namespace kolva {

// Registers the scheme with the browser engine. Call before the QApplication is made.
void RegisterConcordanceScheme();

class CConcordanceSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    // The handler of the profile, installed on it the first time (owned by the profile's owner
    // object `owner`).
    static CConcordanceSchemeHandler* On(QWebEngineProfile* profile, QObject* owner);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

signals:
    // A link was followed: the whole URL, delivered after the request has been aborted.
    void linkRequested(const QString& url);

private:
    explicit CConcordanceSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}
};

}  // namespace kolva

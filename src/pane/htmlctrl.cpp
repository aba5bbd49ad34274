#include "pane/htmlctrl.h"

#include <QChildEvent>
#include <QEventLoop>
#include <QTimer>

#include "ui/icons.h"

namespace kolva {

namespace {

// Every text input of the page in document order, with null for an empty value (the answer the
// keyword box has always given for an empty box).
const char kReadInputsScript[] = R"(
(function() {
  var values = [];
  var all = document.getElementsByTagName('*');
  for (var i = 0; i < all.length; ++i) {
    var e = all[i];
    if (e.tagName === 'INPUT' && (e.type === 'text' || e.type === ''))
      values.push(e.value === '' ? null : e.value);
  }
  return values;
})())";

}  // namespace

CHtmlCtrl* CHtmlCtrl::CreateFromStatic(int id, QWidget* parent) {
    QWidget* placeholder = parent->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
    if (!placeholder) return nullptr;
    auto* control = new CHtmlCtrl(parent);
    control->setObjectName(QString::number(id));
    control->setGeometry(placeholder->geometry());
    control->stackUnder(placeholder);
    delete placeholder;
    control->show();
    return control;
}

void CHtmlCtrl::LoadFromResource(const QString& name) {
    LoadAppResources();
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) { m_loaded = ok; });
    load(QUrl(QStringLiteral("qrc:/") + name));
}

bool CHtmlCtrl::event(QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child && child->isWidgetType())
            emit inputWidgetAdded(static_cast<QWidget*>(child));
    }
    return QWebEngineView::event(event);
}

CHtmlCtrl::Inputs CHtmlCtrl::ReadInputs() {
    Inputs inputs;
    if (!m_loaded) return inputs;
    // The answer may come after we stopped waiting: it then lands in this shared state only.
    struct Answer {
        QVariant value;
        bool answered = false;
        QEventLoop* loop = nullptr;
    };
    auto answer = std::make_shared<Answer>();
    QEventLoop loop;
    answer->loop = &loop;
    page()->runJavaScript(QString::fromLatin1(kReadInputsScript), [answer](const QVariant& result) {
        answer->value = result;
        answer->answered = true;
        if (answer->loop) answer->loop->quit();
    });
    // The engine answers within milliseconds; a page that hangs counts as no page.
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    if (!answer->answered) loop.exec();
    answer->loop = nullptr;
    if (!answer->answered) return inputs;
    inputs.documentAvailable = true;
    for (const QVariant& v : answer->value.toList())
        inputs.values.append(v.isNull() ? std::nullopt : std::optional<QString>(v.toString()));
    return inputs;
}

void CHtmlCtrl::SetValue(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    page()->runJavaScript(
        QStringLiteral("document.getElementsByName('textfield')[0].value = '%1';").arg(quoted));
}

}  // namespace kolva

// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window/snapshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScrollBar>
#include <type_traits>

#include "app/window/form1.h"
#include "app/window/form2.h"

namespace {

QJsonArray itemsOf(const QListWidget* list) {
    QJsonArray a;
    for (int i = 0; i < list->count(); ++i) a.append(list->item(i)->text());
    return a;
}

QJsonObject listObject(QListWidget* list, QWidget* window) {
    QJsonObject o;
    o[QStringLiteral("kind")] = QStringLiteral("listbox");
    o[QStringLiteral("items")] = itemsOf(list);
    o[QStringLiteral("index")] = list->currentRow();
    o[QStringLiteral("tooltip")] = list->toolTip();
    o[QStringLiteral("visible")] = list->isVisibleTo(window);
    o[QStringLiteral("enabled")] = list->isEnabled();
    return o;
}

QJsonObject elementObject(const Form1::ElementInfo& e, QWidget* window) {
    QJsonObject o;
    o[QStringLiteral("kind")] = e.kind;
    QObject* obj = e.object;
    if (auto* w = qobject_cast<QWidget*>(obj)) {
        if (auto* list = qobject_cast<QListWidget*>(w)) return listObject(list, window);
        o[QStringLiteral("visible")] = w->isVisibleTo(window);
        o[QStringLiteral("enabled")] = w->isEnabled();
        o[QStringLiteral("tooltip")] = w->toolTip();
    }
    if (auto* l = qobject_cast<QLabel*>(obj); l && e.kind == QLatin1String("label")) {
        o[QStringLiteral("caption")] = l->text();
    } else if (auto* c = qobject_cast<QCheckBox*>(obj)) {
        o[QStringLiteral("caption")] = c->text();
        o[QStringLiteral("value")] = c->isChecked() ? 1 : 0;
    } else if (auto* r = qobject_cast<QRadioButton*>(obj)) {
        o[QStringLiteral("caption")] = r->text();
        o[QStringLiteral("value")] = r->isChecked() ? 1 : 0;
    } else if (auto* b = qobject_cast<QPushButton*>(obj)) {
        o[QStringLiteral("caption")] = b->text();
    } else if (auto* t = qobject_cast<TextBoxElement*>(obj)) {
        o[QStringLiteral("text")] = t->text();
    } else if (auto* cb = qobject_cast<QComboBox*>(obj)) {
        QJsonArray items;
        for (int i = 0; i < cb->count(); ++i) items.append(cb->itemText(i));
        o[QStringLiteral("items")] = items;
        o[QStringLiteral("index")] = cb->currentIndex();
        o[QStringLiteral("text")] = cb->currentText();
    } else if (auto* s = qobject_cast<QScrollBar*>(obj)) {
        o[QStringLiteral("value")] = s->value();
    } else if (auto* g = qobject_cast<GaugeElement*>(obj)) {
        o[QStringLiteral("value")] = g->value();
    } else if (auto* sh = qobject_cast<ShapeElement*>(obj)) {
        if (sh->fillColor().isValid()) o[QStringLiteral("color")] = sh->fillColor().name();
    } else if (auto* tm = qobject_cast<TimerElement*>(obj)) {
        o[QStringLiteral("enabled")] = tm->Enabled();
        o[QStringLiteral("interval")] = tm->Interval();
    } else if (auto* sp = qobject_cast<SerialPortComponent*>(obj)) {
        o[QStringLiteral("open")] = sp->PortOpen();
        o[QStringLiteral("port")] = sp->CommPort();
        o[QStringLiteral("settings")] = sp->Settings();
        o[QStringLiteral("device")] = sp->devicePath();
    } else if (auto* so = qobject_cast<SocketElement*>(obj)) {
        o[QStringLiteral("state")] = so->State();
    }
    return o;
}

// Turns each window variable into its JSON value.
struct VariableWriter {
    QJsonObject& out;

    void operator()(const char* name, int v) { out[QLatin1String(name)] = v; }
    // The cycle's positions are written as their numbers.
    template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
    void operator()(const char* name, E v) {
        out[QLatin1String(name)] = static_cast<int>(v);
    }
    void operator()(const char* name, double v) { out[QLatin1String(name)] = v; }
    void operator()(const char* name, std::int64_t v) {
        out[QLatin1String(name)] = static_cast<qint64>(v);
    }
    void operator()(const char* name, const std::string& v) {
        out[QLatin1String(name)] = fromCp1252(v);
    }
    template <std::size_t N>
    void operator()(const char* name, const std::array<std::string, N>& v) {
        list(name, v.begin(), v.end());
    }
    void operator()(const char* name, const std::vector<std::string>& v) {
        list(name, v.begin(), v.end());
    }
    template <class It>
    void list(const char* name, It from, It to) {
        QJsonArray a;
        for (; from != to; ++from) a.append(fromCp1252(*from));
        out[QLatin1String(name)] = a;
    }
    void operator()(const char* name, const funkor::O2Lines& v) {
        // The lines as read, without the unused slot 0.
        QJsonArray a;
        for (int i = 1; i <= v.count && i < static_cast<int>(v.lines.size()); ++i)
            a.append(fromCp1252(v.lines[static_cast<std::size_t>(i)]));
        out[QLatin1String(name)] = a;
    }
    void operator()(const char* name, const ZoneArea& z) {
        QJsonObject o;
        o[QStringLiteral("first")] = z.first;
        o[QStringLiteral("second")] = z.second;
        o[QStringLiteral("radius")] = z.radius;
        o[QStringLiteral("name")] = fromCp1252(z.name);
        out[QLatin1String(name)] = o;
    }
};

}  // namespace

QJsonObject windowSnapshot(Form1& form) {
    QJsonObject elements;
    for (const auto& e : form.inventory()) elements[e.name] = elementObject(e, &form);
    QJsonObject list = listObject(form.form2->List1, form.form2);
    list[QStringLiteral("visible")] = form.form2->isVisible();
    elements[QStringLiteral("Form2.List1")] = list;

    QJsonObject variables;
    VariableWriter writer{variables};
    form.phone.visit(writer);
    form.network.visit(writer);
    form.position.visit(writer);
    form.output.visit(writer);
    form.sms.visit(writer);
    form.calls.visit(writer);

    QJsonObject root;
    root[QStringLiteral("title")] = form.windowTitle();
    root[QStringLiteral("elements")] = elements;
    root[QStringLiteral("variables")] = variables;
    return root;
}

bool writeSnapshot(Form1& form, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(windowSnapshot(form)).toJson(QJsonDocument::Indented));
    return file.commit();
}

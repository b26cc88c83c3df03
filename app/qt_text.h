// The one place where the engine's text (UTF-8 std::string) and dates (seconds since 1970) become Qt's and
// back, so that no view converts on its own.
//
//   qt("Anna") == QStringLiteral("Anna");  utf8(QStringLiteral("Anna")) == "Anna"
//   qtDateTime(Date{0}, "UTC") == QDateTime(QDate(1970, 1, 1), QTime(0, 0), QTimeZone::utc())
#pragma once

#include <cmath>
#include <string>
#include <string_view>

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include "core/date.h"

namespace quillmark::app {

inline QString qt(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

inline std::string utf8(const QString& text) { return text.toStdString(); }

inline QTimeZone qtZone(const std::string& zone) {
    QTimeZone qz(QByteArray::fromStdString(zone));
    return qz.isValid() ? qz : QTimeZone::systemTimeZone();
}

// The instant in the zone, to the millisecond.
inline QDateTime qtDateTime(Date date, const QTimeZone& zone) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(date.seconds * 1000.0)), zone);
}

inline Date engineDate(const QDateTime& time) { return Date::fromMilliseconds(time.toMSecsSinceEpoch()); }

}  // namespace quillmark::app

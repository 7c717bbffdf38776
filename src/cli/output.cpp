// qeltx-cli's output streams.
#include "cli/output.h"

#include "cli/exit_codes.h"

#include <QJsonDocument>

#include <cstdio>

namespace qeltx::cli {

namespace {

void writeLine(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

void Output::log(const QString& line) const {
    if (verbose_) writeLine(stderr, line);
    if (keep_ == 0) return;
    kept_.push_back(line);
    if (kept_.size() > keep_) kept_.pop_front();
}

void Output::line(const QString& text) const {
    if (!json_) writeLine(stdout, text);
}

void Output::result(const QJsonObject& object) const {
    if (!json_) return;
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void Output::note(const QString& text) const { writeLine(stderr, text); }

int Output::fail(const QString& message) const {
    writeLine(stderr, QStringLiteral("qeltx-cli: ") + message);
    return kExitFailure;
}

int Output::usage(const QString& message) const {
    writeLine(stderr, QStringLiteral("qeltx-cli: ") + message);
    return kExitUsage;
}

}  // namespace qeltx::cli

#pragma once

#include <QString>
#include <exception>
#include <httplib.h>

// A request the files API or the object store turns down: the HTTP status and the text the
// client sees as the body.
class ApiRefusal : public std::exception {
public:
    ApiRefusal(int status, QString text)
        : status_(status), text_(std::move(text)), what_(text_.toStdString()) {}

    int status() const { return status_; }
    const QString& text() const { return text_; }
    const char* what() const noexcept override { return what_.c_str(); }

    // Answers with the text as a plain-text body.
    void send(httplib::Response& response) const;

    static ApiRefusal badRequest(const QString& text) { return {400, text}; }
    static ApiRefusal forbidden(const QString& text) { return {403, text}; }
    static ApiRefusal notFound(const QString& text) { return {404, text}; }
    static ApiRefusal conflict(const QString& text) { return {409, text}; }
    static ApiRefusal diskError(const QString& text) { return {500, text}; }

private:
    int status_;
    QString text_;
    std::string what_;
};

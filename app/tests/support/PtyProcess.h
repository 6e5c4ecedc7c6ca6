#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// A program run on a pseudo-terminal of its own, as from an interactive shell: its standard
// streams are the terminal, it is the terminal's foreground process, and Ctrl-C typed into the
// terminal reaches it as SIGINT. The process is killed when the object goes away.
class PtyProcess {
public:
    PtyProcess(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment, int columns = 100) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 30;
        int slave = -1;
        if (::openpty(&master_, &slave, nullptr, nullptr, &size) != 0)
            return;
        std::vector<QByteArray> args{QFile::encodeName(program)};
        for (const QString& a : arguments)
            args.push_back(a.toUtf8());
        std::vector<QByteArray> env;
        for (const QString& e : environment.toStringList())
            env.push_back(e.toUtf8());
        std::vector<char*> argv, envp;
        for (QByteArray& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (QByteArray& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            ::dup2(slave, STDIN_FILENO);
            ::dup2(slave, STDOUT_FILENO);
            ::dup2(slave, STDERR_FILENO);
            ::close(master_);
            if (slave > STDERR_FILENO)
                ::close(slave);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(slave);
    }
    ~PtyProcess() {
        if (running())
            ::kill(pid_, SIGKILL);
        reap(std::chrono::seconds(5));
        if (master_ >= 0)
            ::close(master_);
    }
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // Types into the terminal ("\x03" is Ctrl-C).
    void type(const QByteArray& keys) {
        [[maybe_unused]] auto n = ::write(master_, keys.data(), keys.size());
    }
    QByteArray output() const { return output_; }

    // Until the output contains the text, or the limit passes.
    bool waitForOutput(const QByteArray& text, std::chrono::milliseconds limit) {
        const QDeadlineTimer deadline(limit);
        while (!output_.contains(text) && !deadline.hasExpired() && read(deadline))
            ;
        return output_.contains(text);
    }
    // Until the program has exited (its output read to the end), or the limit passes.
    bool waitForExit(std::chrono::milliseconds limit) {
        const QDeadlineTimer deadline(limit);
        while (read(deadline))
            ;
        return reap(
            std::chrono::milliseconds(deadline.remainingTime() > 0 ? deadline.remainingTime() : 0));
    }
    // The exit status, or -1 while it runs or when it ended by a signal.
    int exitCode() const { return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

private:
    bool running() const { return pid_ > 0 && !exited_; }
    // Reads what is there (waiting up to the deadline for something); false at the end of the
    // output or when the deadline passed.
    bool read(const QDeadlineTimer& deadline) {
        if (master_ < 0)
            return false;
        pollfd wait{master_, POLLIN, 0};
        const int remaining = int(std::max<qint64>(deadline.remainingTime(), 0));
        if (::poll(&wait, 1, remaining) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return false; // EIO: every writer of the terminal has gone
        output_.append(buffer, n);
        return true;
    }
    bool reap(std::chrono::milliseconds limit) {
        if (pid_ <= 0 || exited_)
            return exited_;
        const QDeadlineTimer deadline(limit);
        do {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                exited_ = true;
                return true;
            }
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 20);
        } while (!deadline.hasExpired());
        return false;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    int status_ = 0;
    bool exited_ = false;
    QByteArray output_;
};

// Test support: one of this process's descriptors pointed elsewhere for a scope, then put back.
#pragma once

#include <filesystem>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

class Redirect {
public:
    // To a descriptor of the caller's (closed here once taken), or to a file written afresh.
    Redirect(int fd, int to) : fd_(fd), saved_(dup(fd))
    {
        if (to < 0 || saved_ < 0 || dup2(to, fd) < 0) ADD_FAILURE() << "cannot redirect descriptor " << fd;
        close(to);
    }
    Redirect(int fd, const std::filesystem::path& file) : Redirect(fd, open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)) {}
    ~Redirect()
    {
        dup2(saved_, fd_);
        close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    int fd_, saved_;
};

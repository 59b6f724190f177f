#include "SealedTestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "AtomicFileWriter.h"
#include "FileIo.h"

namespace fs = std::filesystem;

SealedTestSupport::SealedTestSupport() : scratch_("sealed-"), directory_(scratch_.path()) {}

SealedTestSupport::~SealedTestSupport() = default;

std::string SealedTestSupport::subdirectory(const std::string& name) const {
    fs::create_directories(directory_ / name);
    return (directory_ / name).string();
}

std::vector<std::string> SealedTestSupport::entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string SealedTestSupport::mediaBytes(size_t size, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(generator() & 0xff);
    }
    for (size_t frame = 0; frame + 4 < size; frame += 417) {
        bytes[frame] = static_cast<char>(0xff);
        bytes[frame + 1] = static_cast<char>(0xfb);
        bytes[frame + 2] = 0;
        bytes[frame + 3] = 0;
    }
    return bytes;
}

void SealedTestSupport::writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string SealedTestSupport::readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int SealedTestSupport::run(const std::string& command, std::string* output) {
    std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (output != nullptr) {
            output->append(buffer, got);
        }
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool SealedTestSupport::hasOpenssl() {
    return run("openssl version") == 0;
}

std::string SealedTestSupport::leaveDebrisOfAKilledWrite(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFileWriter writer(path);
        if (writer.open()) {
            FileIo::writeAll(writer.descriptor(), "partial", 7);
            ::raise(SIGKILL);
        }
        ::_exit(1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    const fs::path target(path);
    for (const std::string& name : entries(target.parent_path().string())) {
        if (AtomicFileWriter::isTemporaryNameOf(name, target.filename().string())) {
            return (target.parent_path() / name).string();
        }
    }
    ADD_FAILURE() << "no temporary file of " << path << " was left";
    return {};
}

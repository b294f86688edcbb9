#include "tests/tool/ToolRunner.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace tool_test {

std::string ToolPath() {
    return OSTAK_TOOL_PATH;
}

std::string SourceDir() {
    return OSTAK_SOURCE_DIR;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

struct RunningProgram::Io {
    Workspace folder;
    std::string out = folder.File("stdout");
    std::string err = folder.File("stderr");
};

RunningProgram::RunningProgram(const std::string &program, const std::vector<std::string> &args,
                               const RunOptions &options, bool holdInput)
    : io_(new Io) {
    const std::string inPath = io_->folder.Write("stdin", options.input);
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "LC_", 3) != 0 && std::strncmp(*entry, "LANG", 4) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back("LC_ALL=" + options.locale);
    for (const auto &[name, value] : options.env) {
        environment.push_back(name + "=" + value);
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> argvPtrs;
    for (std::string &arg : argv) {
        argvPtrs.push_back(arg.data());
    }
    argvPtrs.push_back(nullptr);
    std::vector<char *> envPtrs;
    for (std::string &entry : environment) {
        envPtrs.push_back(entry.data());
    }
    envPtrs.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    if (holdInput && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }

    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        const int in = holdInput ? pipeEnds[0] : open(inPath.c_str(), O_RDONLY);
        const int out = open(io_->out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(io_->err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)) {
            _exit(127);
        }
        execve(program.c_str(), argvPtrs.data(), envPtrs.data());
        _exit(127);
    }
    if (holdInput) {
        close(pipeEnds[0]);
        inputWriter_ = pipeEnds[1];
    }
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait();
    }
    delete io_;
}

std::string RunningProgram::OutSoFar() const {
    return ReadFile(io_->out);
}

bool RunningProgram::WaitForOutput(const std::string &text, double seconds) const {
    for (double waited = 0; waited < seconds; waited += 0.01) {
        if (OutSoFar().find(text) != std::string::npos) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

RunResult RunningProgram::Wait() {
    if (inputWriter_ >= 0) {
        close(inputWriter_);
        inputWriter_ = -1;
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) {
        throw std::runtime_error("waitpid failed");
    }
    pid_ = -1;
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(io_->out);
    result.err = ReadFile(io_->err);
    return result;
}

RunResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                     const RunOptions &options) {
    return RunningProgram(program, args, options).Wait();
}

RunResult RunTool(const std::vector<std::string> &args, const RunOptions &options) {
    return RunProgram(ToolPath(), args, options);
}

Workspace::Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostak-tool-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

Workspace::~Workspace() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string Workspace::Write(const std::string &name, const std::string &content) const {
    const std::filesystem::path full = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full.string();
}

std::string Workspace::Read(const std::string &name) const {
    return ReadFile(File(name));
}

bool Workspace::Exists(const std::string &name) const {
    return std::filesystem::exists(File(name));
}

} // namespace tool_test

// building.cpp: finding the runtime, and building a submission inside the sandbox.
//
// A submission is a C or C++ file, or a folder: its CMakeLists.txt when it has one (built
// against the installed runtime's CMake package), else every .c/.cpp/.cc/.cxx file at its top,
// with cc, or c++ when any is C++. The sources are copied into the work folder first, so the
// compiler sees that student's files alone: `#include "../model.c"` or "/etc/shadow" finds
// nothing, and a symbolic link is copied as a link that leads nowhere inside.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "mark.h"

namespace fs = std::filesystem;

namespace {

enum {
    SUBMISSION_SIZE_CAP = 20 * 1024 * 1024, // a submission's files, all together
};

bool has_extension(const fs::path &path, std::initializer_list<const char *> extensions) {
    const std::string ext = path.extension().string();
    for (const char *candidate : extensions)
        if (ext == candidate) return true;
    return false;
}

bool is_cxx(const fs::path &path) { return has_extension(path, {".cpp", ".cc", ".cxx", ".C"}); }
bool is_source(const fs::path &path) { return path.extension() == ".c" || is_cxx(path); }

std::string header_version(const std::string &include_dir) {
    std::ifstream header(include_dir + "/vorna.h");
    std::string line, version;
    while (std::getline(header, line)) {
        int number = 0;
        char part[16];
        if (std::sscanf(line.c_str(), "#define VORNA_VERSION_%15s %d", part, &number) == 2)
            version += (version.empty() ? "" : ".") + std::to_string(number);
    }
    return version;
}

// The installed layout under prefix: include/vorna.h and a lib folder with libvorna.so.
bool runtime_at_prefix(const std::string &prefix, RuntimeLocation *runtime) {
    if (!fs::exists(prefix + "/include/vorna.h")) return false;
    for (const char *lib : {"lib", "lib64", "lib/x86_64-linux-gnu", "lib/aarch64-linux-gnu"}) {
        const std::string dir = prefix + "/" + lib;
        if (fs::exists(dir + "/libvorna.so")) {
            runtime->prefix = prefix;
            runtime->include_dir = prefix + "/include";
            runtime->lib_dir = dir;
            return true;
        }
    }
    return false;
}

std::string own_prefix() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().parent_path().string();
}

// Every file of the submission, copied; chowned to the slot's user id so the build may write.
bool copy_sources(const fs::path &from, const fs::path &to, std::string *why) {
    std::error_code error;
    fs::create_directories(to, error);
    if (fs::is_directory(from)) {
        std::uintmax_t total = 0;
        for (auto it = fs::recursive_directory_iterator(from, error); !error && it != fs::end(it); it.increment(error)) {
            if (it->is_regular_file(error) && !it->is_symlink(error)) total += it->file_size(error);
            if (total > SUBMISSION_SIZE_CAP) {
                *why = "the submission is larger than 20 MB";
                return false;
            }
        }
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    } else {
        if (fs::file_size(from, error) > SUBMISSION_SIZE_CAP) {
            *why = "the submission is larger than 20 MB";
            return false;
        }
        fs::copy(from, to / from.filename(), fs::copy_options::copy_symlinks, error);
    }
    if (error) {
        *why = "cannot copy the submission: " + error.message();
        return false;
    }
    return true;
}

void hand_to_sandbox(const fs::path &work) {
    const int uid = sandbox_owner_uid();
    if (uid < 0) return;
    std::error_code error;
    lchown(work.c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(uid));
    for (auto it = fs::recursive_directory_iterator(work, error); !error && it != fs::end(it); it.increment(error))
        lchown(it->path().c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(uid));
}

std::string quoted(const std::string &text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

bool find_runtime(const Options &options, RuntimeLocation *runtime, std::string *why) {
    bool found = false;
    if (!options.runtime_prefix.empty()) {
        found = runtime_at_prefix(fs::absolute(options.runtime_prefix).lexically_normal().string(), runtime);
        if (!found) {
            *why = "--runtime " + options.runtime_prefix + ": no include/vorna.h and lib/libvorna.so there";
            return false;
        }
    }
    if (!found) found = runtime_at_prefix(own_prefix(), runtime);
#if defined(VORNA_MARK_BUILD_INCLUDE) && defined(VORNA_MARK_BUILD_LIB)
    // Run from the build tree: the runtime built beside it (no CMake package there).
    if (!found && fs::exists(VORNA_MARK_BUILD_INCLUDE "/vorna.h") && fs::exists(VORNA_MARK_BUILD_LIB "/libvorna.so")) {
        runtime->include_dir = VORNA_MARK_BUILD_INCLUDE;
        runtime->lib_dir = VORNA_MARK_BUILD_LIB;
        found = true;
    }
#endif
    if (!found) {
        *why = "cannot find the VORNA runtime beside vorna-mark; name its install prefix with --runtime";
        return false;
    }
    runtime->version = header_version(runtime->include_dir);
    return true;
}

bool stage_runtime(RuntimeLocation *runtime, std::string *why) {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vorna-mark-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        *why = "cannot make a folder in /tmp: " + std::string(std::strerror(errno));
        return false;
    }
    const std::string stage = pattern;
    chmod(stage.c_str(), 0711);
    std::error_code error;
    const fs::path lib = fs::path(stage) / "runtime/lib";
    fs::create_directories(lib, error);
    fs::create_directories(fs::path(stage) / "runtime/include", error);
    fs::create_directories(fs::path(stage) / "work", error);
    chmod((stage + "/work").c_str(), 0711);
    fs::copy_file(runtime->include_dir + "/vorna.h", stage + "/runtime/include/vorna.h", error);
    for (const auto &entry : fs::directory_iterator(runtime->lib_dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("libvorna.so", 0) == 0 || name == "libvorna_main.a")
            fs::copy(entry.path(), lib / name, fs::copy_options::copy_symlinks, error);
        if (error) break;
    }
    // The CMake package and pkg-config file find the prefix relative to themselves.
    if (!error && !runtime->prefix.empty())
        for (const char *package : {"cmake", "pkgconfig"})
            if (fs::exists(runtime->lib_dir + "/" + package + "/vorna") && fs::create_directories(lib / package / "vorna", error))
                fs::copy(runtime->lib_dir + "/" + package + "/vorna", lib / package / "vorna", fs::copy_options::recursive, error);
    if (!error) fs::copy_file(own_folder() + "/vorna-mark-child", stage + "/vorna-mark-child", error);
    if (error) {
        *why = "cannot copy the runtime into " + stage + ": " + error.message();
        fs::remove_all(stage, error);
        return false;
    }
    runtime->stage = stage;
    runtime->child = stage + "/vorna-mark-child";
    runtime->include_dir = stage + "/runtime/include";
    runtime->lib_dir = lib.string();
    if (!runtime->prefix.empty()) runtime->prefix = stage + "/runtime";
    return true;
}

void remove_tree(const std::string &path) {
    // A program can leave a tree deeper than a path may be long, which a walk by paths takes
    // quadratic time over and then cannot finish; rm walks it by descriptors.
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/rm", "rm", "-rf", "--one-file-system", "--", path.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
}

void remove_stage(const RuntimeLocation &runtime) {
    if (!runtime.stage.empty()) remove_tree(runtime.stage);
}

BuildOutcome build_submission(const std::string &submission, const std::string &work, const RuntimeLocation &runtime,
                              int slot) {
    BuildOutcome outcome;
    const fs::path src = fs::path(work) / "src";
    std::string why;
    if (!copy_sources(submission, src, &why)) {
        outcome.messages = why;
        return outcome;
    }
    hand_to_sandbox(work);

    SandboxCommand command;
    command.work_dir = work;
    command.child = runtime.child;
    command.read_only = {runtime.prefix.empty() ? runtime.include_dir : runtime.prefix};
    if (runtime.prefix.empty()) command.read_only.push_back(runtime.lib_dir);
    command.environment = {"PATH=/usr/bin:/bin", "HOME=/tmp", "LANG=C.UTF-8", "TMPDIR=/tmp"};
    command.slot = slot;
    command.limits.wall_seconds = 120;
    command.limits.cpu_seconds = 60;
    command.limits.memory_mb = 2048;
    command.limits.file_mb = 64;
    command.limits.processes = 64;

    const std::string program = std::string(SANDBOX_WORK) + "/program";
    if (fs::is_directory(submission) && fs::exists(fs::path(submission) / "CMakeLists.txt")) {
        if (runtime.prefix.empty()) {
            outcome.marking_error = true;
            outcome.messages = "a CMake project needs an installed runtime (--runtime PREFIX)";
            return outcome;
        }
        // The project's executable lands in /work/bin; the first one there is the program.
        const std::string script =
            "cmake -S src -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=" + quoted(runtime.prefix) +
            " -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=" SANDBOX_WORK "/bin >build.out 2>&1 || { cat build.out; exit 1; }; "
            "cmake --build build 2>&1 || exit 1; "
            "for f in bin/*; do [ -f \"$f\" ] && [ -x \"$f\" ] && { cp \"$f\" program; exit 0; }; done; "
            "echo 'the project builds no program'; exit 1";
        command.argv = {"/bin/sh", "-c", script};
    } else {
        std::vector<std::string> sources;
        bool cxx = false;
        std::error_code error;
        if (fs::is_directory(submission)) {
            for (const auto &entry : fs::directory_iterator(src, error))
                if (entry.is_regular_file() && is_source(entry.path())) {
                    sources.push_back("src/" + entry.path().filename().string());
                    cxx = cxx || is_cxx(entry.path());
                }
        } else if (is_source(submission)) {
            sources.push_back("src/" + fs::path(submission).filename().string());
            cxx = is_cxx(submission);
        }
        if (sources.empty()) {
            outcome.messages = "no .c or .cpp file in the submission";
            return outcome;
        }
        std::sort(sources.begin(), sources.end());
        command.argv = {cxx ? "/usr/bin/c++" : "/usr/bin/cc"};
        command.argv.insert(command.argv.end(), sources.begin(), sources.end());
        command.argv.insert(command.argv.end(), {"-o", program, "-I" + runtime.include_dir, "-L" + runtime.lib_dir,
                                                 "-Wl,-rpath," + runtime.lib_dir, "-lvorna_main", "-lvorna", "-lm"});
    }
    const SandboxOutcome result = sandbox_run(command);
    outcome.seconds = result.seconds;
    outcome.messages = result.output;
    if (result.output_truncated) outcome.messages += "\n[build messages cut here]\n";
    if (!result.started) {
        outcome.marking_error = true;
        outcome.messages = result.error + "\n" + outcome.messages;
        return outcome;
    }
    if (result.wall_timeout) outcome.messages += "\n[the build took longer than 120 s and was stopped]\n";
    outcome.built = result.exited && result.exit_status == 0 && fs::exists(fs::path(work) / "program");
    return outcome;
}

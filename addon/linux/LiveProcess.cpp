#include "LiveProcess.h"

#include <algorithm>
#include <cctype>

namespace pylon::accelerator::linux_backend {

namespace {

constexpr std::string_view kLivePrefix = "Ableton Live";
constexpr std::string_view kWindowsExecutableSuffix = ".exe";
// wine, wine64, wine-preloader, wine64-preloader: the loaders a Windows program starts in.
constexpr std::string_view kWineLoaderPrefix = "wine";

// suffix is in lower case.
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

std::string withoutExeSuffix(std::string_view name) {
    if (endsWithIgnoringCase(name, kWindowsExecutableSuffix))
        name.remove_suffix(kWindowsExecutableSuffix.size());
    return std::string(name);
}

} // namespace

std::string_view baseName(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool isLiveName(std::string_view name) {
    return name.starts_with(kLivePrefix);
}

bool isWindowsPath(std::string_view path) {
    const bool driveLetter = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                             (path[2] == '\\' || path[2] == '/');
    return driveLetter || path.find('\\') != std::string_view::npos;
}

bool mayBeLive(std::string_view executableName) {
    return isLiveName(executableName) || executableName.starts_with(kWineLoaderPrefix);
}

std::optional<RunningApplication> liveApplication(const ProcessFacts& facts) {
    const std::string_view argumentName = facts.firstArgument ? baseName(*facts.firstArgument) : std::string_view{};
    const std::string_view pathName = facts.executablePath ? baseName(*facts.executablePath) : std::string_view{};

    // The name shown is the first full one that matches: argv[0] and the executable file keep the
    // whole name, the kernel's executable name is cut to 15 bytes.
    std::optional<std::string> displayName;
    if (isLiveName(argumentName))
        displayName = withoutExeSuffix(argumentName);
    else if (isLiveName(facts.executableName))
        displayName = withoutExeSuffix(isLiveName(pathName) ? pathName : facts.executableName);
    else
        return std::nullopt;

    RunningApplication application;
    application.processId = facts.processId;
    application.displayName = std::move(displayName);
    // Wine names its processes by their Windows path; the Linux executable would be Wine's loader.
    if (facts.firstArgument && isWindowsPath(*facts.firstArgument))
        application.applicationPath = *facts.firstArgument;
    else
        application.applicationPath = facts.executablePath;
    application.bundleId = std::string(kLiveBundleId);
    return application;
}

} // namespace pylon::accelerator::linux_backend

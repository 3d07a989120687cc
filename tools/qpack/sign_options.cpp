#include "tools/qpack/sign_options.h"

bool TakeSignOption(const std::vector<std::string>& args, size_t* i, SignOptions* options, std::string* error) {
    const std::string& a = args[*i];
    if (a == "--dual") return options->dual = true;
    std::string* value = a == "--sign"        ? &options->cert
                         : a == "--sign-key"  ? &options->key
                         : a == "--pass-env"  ? &options->passEnv
                         : a == "--pass-file" ? &options->passFile
                         : a == "--timestamp" ? &options->timestamp
                                              : nullptr;
    if (value == nullptr) return false;
    if (*i + 1 >= args.size() || args[*i + 1].empty()) {
        *error = a + " needs a value";
    } else {
        *value = args[++*i];
    }
    return true;
}

bool WantsSigning(const SignOptions& options) {
    return !options.cert.empty() || !options.key.empty() || !options.passEnv.empty() ||
           !options.passFile.empty() || !options.timestamp.empty() || options.dual;
}

std::string CheckSignOptions(const SignOptions& options) {
    if (options.cert.empty()) return "signing needs --sign CERT";
    if (!options.passEnv.empty() && !options.passFile.empty()) return "give --pass-env or --pass-file, not both";
    return "";
}

// The options that ask qpack to sign, as "build" and "sign" take them. The password is named,
// never given: it comes from an environment variable or a file.
#pragma once
#include <string>
#include <vector>

struct SignOptions {
    std::string cert;       // --sign: a PKCS#12 file, or with --sign-key the certificate chain
    std::string key;        // --sign-key
    std::string passEnv;    // --pass-env NAME
    std::string passFile;   // --pass-file FILE
    std::string timestamp;  // --timestamp URL
    bool dual = false;      // --dual: a SHA-1 primary signature with a SHA-256 one nested in it
};

// Takes the signing option at args[*i] with its value and moves *i onto the value; false when
// args[*i] is none. *error says when its value is missing.
bool TakeSignOption(const std::vector<std::string>& args, size_t* i, SignOptions* options, std::string* error);

// Whether any signing option was given.
bool WantsSigning(const SignOptions& options);

// "" or what is wrong with the options together.
std::string CheckSignOptions(const SignOptions& options);

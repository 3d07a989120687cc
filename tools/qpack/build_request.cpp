#include "tools/qpack/build_request.h"

#include "tools/qpack/flag_names.h"

bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value, std::string* error) {
    if (*i + 1 >= args.size() || args[*i + 1].empty()) {
        *error = args[*i] + " needs a value";
        return false;
    }
    *value = args[++*i];
    return true;
}

bool ParseBuildRequest(const std::vector<std::string>& args, BuildRequest* request, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (TakeSignOption(args, &i, &request->sign, error)) {
            if (!error->empty()) return false;
        } else if (a == "--dos") {
            request->dos = true;
        } else if (a == "-o" || a == "--stub") {
            if (!TakeValue(args, &i, a == "-o" ? &request->out : &request->stub, error)) return false;
        } else if (a == "--flags") {
            if (!TakeValue(args, &i, &value, error) || !ParseFlags(value, &request->flags, error)) return false;
        } else if (!a.empty() && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        } else {
            (request->dos ? request->dosFiles : request->files).push_back(a);
        }
    }
    *error = request->out.empty()             ? "needs -o OUT.exe"
             : request->stub.empty()          ? "needs --stub QuorvinUpdate.exe"
             : request->files.empty()         ? "needs at least one FILE"
             : request->dos && request->dosFiles.empty() ? "--dos needs at least one DOSFILE"
             : request->dos && WantsSigning(request->sign)
                 ? "a package with a DOS part cannot be signed: the DOS part's trailer must end the file"
                 : WantsSigning(request->sign) ? CheckSignOptions(request->sign)
                                               : "";
    return error->empty();
}

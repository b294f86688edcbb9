// Writes the example rule files through the library itself:
//   OUTDIR/dat/OstakInstallation.xml  the installation file, version 3
//   OUTDIR/scripts/nightly.xml        a script's rule file that took over
//                                     version 2 and was edited since
// The script's file is made the way it comes to be in use: loading it as a
// script's rule file takes the installation file (version 2) over, then its
// maintainer edits it and saves it. Meanwhile the installation file moves on
// to version 3. The installation-file version number is the maker's stamp: it
// cannot be set through the interface, so each version starts from a template
// that carries only that number.
//
// Usage: ostak_make_examples DATA_ROOT OUTDIR   (DATA_ROOT holds dat/Ostak_res and dat/OstakDtd.xml)
#include "include/ostak.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct RuleValues {
    const char *name;
    const char *text; // for a rule that uses its text
    const char *prefix = "";
    const char *suffix = "";
    ostak::Level level = ostak::Level::Error;
    ostak::RuleType type = ostak::RuleType::Std;
    bool matchCase = true;
    bool failIfNotFound = false;
};

void SetRule(ostak::Rule rule, const RuleValues &wanted) {
    rule.setName(wanted.name);
    rule.setUseText(*wanted.text != '\0');
    rule.setText(wanted.text);
    rule.setPrefix(wanted.prefix);
    rule.setSuffix(wanted.suffix);
    rule.setLevel(wanted.level);
    rule.setType(wanted.type);
    rule.setMatchCase(wanted.matchCase);
    rule.setFailIfNotFound(wanted.failIfNotFound);
    rule.finalize();
}

void AddApplication(ostak::RuleFile &file, const char *name, bool enabled,
                    const std::vector<RuleValues> &rules) {
    ostak::Application appl = file.applications().add();
    appl.setName(name);
    appl.setEnabled(enabled);
    for (const RuleValues &wanted : rules) {
        SetRule(appl.addRule(), wanted);
    }
    appl.finalize();
}

ostak::Application Find(const ostak::RuleFile &file, const std::string &name) {
    for (ostak::Application appl : file.applications()) {
        if (appl.name() == name) {
            return appl;
        }
    }
    throw std::runtime_error("no application " + name);
}

ostak::Rule FindRule(const ostak::Application &appl, const std::string &name) {
    for (ostak::Rule rule : appl.rules()) {
        if (rule.name() == name) {
            return rule;
        }
    }
    throw std::runtime_error("no rule " + name);
}

std::string ReadAll(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// A document holding nothing but the installation-file version number.
void WriteTemplate(const fs::path &root, const fs::path &path, int version) {
    std::ofstream(path, std::ios::binary)
        << ReadAll(root / "dat" / "OstakDtd.xml") << "<AED TqVersion=\"7.6\" FileVersionInstallation=\""
        << version << "\">\r\n</AED>\r\n";
}

// The installation file of version 2, which the script's file took over.
void FillVersion2(ostak::RuleFile &file) {
    AddApplication(file, "Compile", true,
                   {{"Error", "error:"},
                    {"Fatal", "fatal error", "", "", ostak::Level::Error, ostak::RuleType::Alert},
                    {"Warning", "", "warning: ", " [-Wall]"}});
    AddApplication(file, "Deploy", true,
                   {{"Rule_1", "Connection refused"},
                    {"Rule_2", "Permission denied", "", "", ostak::Level::Error, ostak::RuleType::Std, false},
                    {"Timeout", "timed out", "", "", ostak::Level::Error, ostak::RuleType::Alert}});
    AddApplication(
        file, "Mail", false,
        {{"Bounce", "Undelivered Mail Returned to Sender"},
         {"Queue", "queue file write error", "", "", ostak::Level::Error, ostak::RuleType::Std, true, true}});
}

// Version 3: a new application, and a rule of Compile changed.
void MoveToVersion3(ostak::RuleFile &file) {
    AddApplication(file, "Backup", true,
                   {{"Failed", "rsync error:"}, {"Partial", "some files/attrs were not transferred"}});
    ostak::Rule warning = FindRule(Find(file, "Compile"), "Warning");
    warning.setSuffix(" [-Wextra]");
    warning.finalize();
}

// What the script's maintainer changed after the take-over.
void EditScriptsFile(ostak::RuleFile &file) {
    ostak::Application deploy = Find(file, "Deploy");
    ostak::Rule refused = FindRule(deploy, "Rule_1");
    refused.setText("Connection refused by peer");
    refused.finalize();
    ostak::Rule denied = FindRule(deploy, "Rule_2");
    denied.setLevel(ostak::Level::Disabled);
    denied.finalize();
    SetRule(deploy.addRule(), {"Retry", "retrying in 30 seconds", "", "", ostak::Level::Error,
                               ostak::RuleType::Std, true, true});
    deploy.finalize();
    AddApplication(file, "Reports", true, {{"Empty", "0 rows selected"}});
}

void Make(const fs::path &dataRoot, const fs::path &out) {
    const fs::path stage = out / "stage";
    fs::create_directories(stage / "dat");
    fs::create_directories(out / "dat");
    fs::create_directories(out / "scripts");
    for (const char *name : {"Ostak_res", "OstakDtd.xml"}) {
        fs::copy_file(dataRoot / "dat" / name, stage / "dat" / name, fs::copy_options::overwrite_existing);
    }
    const fs::path script = out / "scripts" / "nightly.xml";
    fs::remove(script);

    ostak::Options options;
    options.root = stage.string();
    options.scriptDirectory = script.parent_path().string();
    options.scriptName = script.filename().string();
    options.log = [](const ostak::Message &m) {
        if (m.level > OSTAK_LEVEL_TRACE) {
            std::cerr << m.level << ' ' << m.number << ": " << m.text << '\n';
        }
    };
    options.merge = [](const ostak::MergeQuestion &) { return ostak::MergeAnswer::Cancel; };
    options.confirm = [](int32_t) { return false; };
    ostak::Library library(std::move(options));

    const fs::path installation = stage / "dat" / "OstakInstallation.xml";
    WriteTemplate(stage, installation, 2);
    {
        ostak::RuleFile v2(ostak::FileKind::Source, installation.string());
        v2.load();
        FillVersion2(v2);
        v2.save();
    }
    {
        ostak::RuleFile scripts(ostak::FileKind::Script, script.string());
        scripts.load(); // missing: takes version 2 over and writes it
        EditScriptsFile(scripts);
        scripts.save();
    }
    const fs::path v3Path = out / "dat" / "OstakInstallation.xml";
    WriteTemplate(stage, v3Path, 3);
    {
        ostak::RuleFile v3(ostak::FileKind::Source, v3Path.string());
        v3.load();
        FillVersion2(v3);
        MoveToVersion3(v3);
        v3.save();
    }
    fs::remove_all(stage);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: ostak_make_examples DATA_ROOT OUTDIR\n";
        return 2;
    }
    try {
        Make(argv[1], argv[2]);
    } catch (const std::exception &error) {
        std::cerr << "ostak_make_examples: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

#include "program/Preferences.hpp"

#include <cctype>
#include <cfloat>
#include <climits>
#include <fstream>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "base/SafeWrite.hpp"
#include "program/Actions.hpp"
#include "program/Menus.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

constexpr double kIntMax = 2147483647.0;

class PrefReader {
public:
    PrefReader(Console& con, std::istream& fp, const std::string& label) : con_(con), fp_(fp), label_(label) {}

    [[noreturn]] void Fail() {
        con_.err << "\nfile " << label_ << ' ' << '\a';
        con_.err.flush();
        throw FatalError{FatalCode::EndOfFile};
    }
    int Int(int lowest = INT_MIN) {
        int v = 0;
        freadck(con_, fp_, v, label_);
        if (v < lowest) Fail();
        return v;
    }
    bool Bool() {
        const int v = Int();
        if (v != 0 && v != 1) Fail();
        return v == 1;
    }
    float Float() {
        double v = 0.0;
        freadck(con_, fp_, v, label_);
        return static_cast<float>(v);
    }
    double Double() {
        double v = 0.0;
        freadck(con_, fp_, v, label_);
        return v;
    }
    // A letter other than y or n would make the scanner hunt through the
    // following values for one, so the file is refused instead.
    char Letter() {
        fp_ >> std::ws;
        fp_.clear(fp_.rdstate() & ~std::ios::failbit);
        const int c = std::tolower(fp_.peek());
        if (c != 'y' && c != 'n') Fail();
        return ScanChar(con_, fp_, "y n", label_);
    }

private:
    Console& con_;
    std::istream& fp_;
    const std::string& label_;
};

char YesNo(Console& con) { return ReadCharIn(con, "y n"); }

}  // namespace

bool ReadPreferencesFrom(Console& con, std::istream& fp, const std::string& label, Options& opt) {
    SkipByteOrderMark(fp);
    std::string first;
    if (!ScanWordToken(fp, first) || first != versionPref) return false;
    PrefReader r(con, fp, label);
    Options o = opt;
    o.isHierarchicalPref = r.Int();
    o.scatterHSize = r.Float();
    o.scatterVSize = r.Float();
    o.scatterPointSize = r.Int();
    o.profileHSize = r.Float();
    o.profileVSize = r.Float();
    o.profileType = r.Int();
    o.drawProfPtsOpt = r.Letter();
    o.profilePointSize = r.Int();
    o.treeHSize = r.Float();
    o.treeVSize = r.Float();
    o.sDigits = r.Int(1);
    o.maxColsPrint = r.Int(1);
    o.maxComponents = r.Int(1);
    o.saveStruct = r.Letter();
    o.saveRndData = r.Letter();
    o.showMemory = r.Letter();
    o.countDoubleAbsence = r.Bool() ? 1 : 0;
    o.sqrtDissimOpt_RaoTraits = r.Bool();
    o.sqrtDissimOpt_RaoPhyl = r.Bool();
    o.BealsIncludeOpt = r.Bool();
    o.overfitFactorPCARegr = r.Double();
    if (!(o.overfitFactorPCARegr >= 1.0)) r.Fail();
    o.twoTailedTest = r.Bool();
    o.oneMatrixPermPartialCorr = r.Bool();
    o.nonParametricSES_opt = r.Bool();
    o.nProcessors = r.Int(0);
    opt = o;
    return true;
}

void ReadPreferences(Program& p) {
    std::ifstream fp(KOLVARPrefsName, std::ios::binary);
    if (!fp) return;  // first start: the defaults stay
    ReadPreferencesFrom(p.con, fp, KOLVARPrefsName, p.opt);
}

void WritePreferencesText(std::ostream& fp, const Options& o, const Clock& clock) {
    fp << versionPref << '\n';
    fp << o.isHierarchicalPref << '\n';
    fp << Fmt("%f\n%f\n", o.scatterHSize, o.scatterVSize);
    fp << o.scatterPointSize << '\n';
    fp << Fmt("%f\n%f\n", o.profileHSize, o.profileVSize);
    fp << o.profileType << '\n';
    fp << o.drawProfPtsOpt << '\n';
    fp << o.profilePointSize << '\n';
    fp << Fmt("%f\n%f\n", o.treeHSize, o.treeVSize);
    fp << o.sDigits << '\n' << o.maxColsPrint << '\n' << o.maxComponents << '\n';
    fp << o.saveStruct << '\n' << o.saveRndData << '\n' << o.showMemory << '\n';
    fp << o.countDoubleAbsence << '\n';
    fp << int{o.sqrtDissimOpt_RaoTraits} << '\n' << int{o.sqrtDissimOpt_RaoPhyl} << '\n'
       << int{o.BealsIncludeOpt} << '\n';
    fp << Fmt("%g\n", o.overfitFactorPCARegr);
    fp << int{o.twoTailedTest} << '\n' << int{o.oneMatrixPermPartialCorr} << '\n'
       << int{o.nonParametricSES_opt} << '\n';
    fp << o.nProcessors << '\n';
    TimeStamp(fp, clock);
}

void WritePreferences(Program& p) {
    SafeWriter file(p.con, KOLVARPrefsName);
    WritePreferencesText(file.out(), p.opt, p.clock);
    file.Commit();
}

void SetPreferences(Program& p) {
    Console& con = p.con;
    Options& o = p.opt;
    for (;;) {
        Menu(p.con, p.session, "PREFERENCES");
        con.out << "Set preferences of: \n"
                << "   F  output files \n"
                << "   G  Gower index\n"
                << "   R  Rao entropy\n"
                << "   B  Beals smoothing\n"
                << "   O  PCA regression\n"
                << "   T  permutaton tests based on matrix correlations\n"
                << "   S  SES (standardized effect sizes)\n"
                << "   M  Multiprocessor use\n"
                << "   C  return to main menu \n"
                << "Type option: ";
        const char choice = static_cast<char>(std::toupper(static_cast<unsigned char>(ReadCharIn(con, "F G R B O M C T S"))));
        if (choice == 'C') break;
        switch (choice) {
            case 'F': {
                con.out << '\n' << lineL << '\n';
                con.out << "Number of significant digits on printouts (enter zero for default):\n";
                const int digits = TruncToInt(ScanNumber(con, con.in, "keyboard", "-", 0.0, kIntMax));
                o.sDigits = digits == 0 ? 6 : digits;
                con.out << "Maximum number of ordination components on printout (zero for default):\n";
                const int components = TruncToInt(ScanNumber(con, con.in, "keyboard", "-", 0.0, kIntMax));
                o.maxComponents = components == 0 ? 6 : components;
                con.out << "Save matrices used to evaluate structures? y/n               ";
                o.saveStruct = YesNo(con);
                con.out << "Save tables and resemblances generated by randomization? y/n ";
                o.saveRndData = YesNo(con);
                break;
            }
            case 'G':
                con.out << "Modify Gower similarity index to count matching absences in binary traits (default is "
                           "yes)? y/n ";
                o.countDoubleAbsence = YesNo(con) == 'y' ? 1 : 0;
                break;
            case 'R':
                con.out << "Use squared root dissimilarities for computing Rao entropy based on traits (default is "
                           "yes)? y/n ";
                o.sqrtDissimOpt_RaoTraits = YesNo(con) == 'y';
                con.out << "Use squared root dissimilarities for computing Rao entropy based on phylogeny (default "
                           "is no)? y/n ";
                o.sqrtDissimOpt_RaoPhyl = YesNo(con) == 'y';
                break;
            case 'B':
                con.out << "Use target OTU value for estimating its own abundance by Beals smoothing (default is "
                           "yes)? y/n ";
                o.BealsIncludeOpt = YesNo(con) == 'y';
                break;
            case 'O':
                con.out << "Specify the factor for limiting, for partial Procrustes correlations, the number of "
                           "predictors in PCA regression in relation to sample size n (default is 2, i.e., the "
                           "maximum number of predictors (PCA axes) will be n/2): ";
                o.overfitFactorPCARegr = ScanNumber(con, con.in, "keyboard", "-", 1.0, FLT_MAX);
                break;
            case 'T':
                con.out << "Generate two-tailed, non-parametric P-values for partial matrix correlations (default "
                           "is yes: two-tailed)? y/n ";
                o.twoTailedTest = YesNo(con) == 'y';
                con.out << "Permute only one matrix in tests for partial matrix correlations involving matrices "
                           "derived from traits (default is no)? y/n ";
                o.oneMatrixPermPartialCorr = YesNo(con) == 'y';
                break;
            case 'S':
                con.out << "Compute parametric (p) or non-parametric (n) SES (default is the latter)? p/n";
                o.nonParametricSES_opt = ReadCharIn(con, "p n") == 'n';
                break;
            case 'M':
                con.out << "Specify the maximum number of processors to be used (enter zero for default, which is "
                           "the maximum available): ";
                o.nProcessors = TruncToInt(ScanNumber(con, con.in, "keyboard", "-", 0.0, kIntMax));
                break;
            default: break;
        }
    }
    WritePreferences(p);
}

}  // namespace kolvar

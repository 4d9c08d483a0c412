#pragma once
// The depth of every entry of the Avkon pack list, one letter per index
// (c = "/c8", m = "/1", t = "/c12"), written in groups of ten as the table
// the pack list must follow. Shared by the converter, payload and generator
// tests and the converter benchmark.

#include <string>

namespace kastra::test {

inline const std::string& avkonDepths()
{
    static const std::string letters = [] {
        static const char* const kRows[] = {
            "cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm",   // 0-49
            "cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmmmmmcmcm cmcmcmcmcm",   // 50-99
            "cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmcmcmtmtm cmcmcmcmcm",   // 100-149
            "cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmcmcmtmcm cmcmtmcmcm",   // 150-199
            "cmtmcmcmcm cmcmcmcmcc mcmccccccc mmmccttmmc mcmcmcmccm",   // 200-249
            "cmcmcmcmcc cmcccmtmtm cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm",   // 250-299
            "cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm cmcmcmcmcm",   // 300-349
            "cmcmcmcmcm cmcmcmcmtt tcmcmcmcmc mcmcmcmcmc mcmcmcmcmc",   // 350-399
            "ccccccmcmc mcmcmcmcmc mccccccccc mcmmcmcmmc mcmcctmcmc",   // 400-449
            "mcmcmcmmmm mcmcmcmcmc mcmcmcmcmc mcmmmmmmmm mmmmmmmmmm",   // 450-499
            "mmmmmmcm",                                                 // 500-507
        };
        std::string s;
        for (const char* row : kRows)
            for (const char* p = row; *p; ++p)
                if (*p != ' ')
                    s += *p;
        return s;
    }();
    return letters;
}

} // namespace kastra::test

// Start-up cost of the three System files: how long the catalogue load, the sampling
// configuration load with validation and a settings save take with the shipped files.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/CommunicationSettings.h"
#include "settings/LanguageCatalogue.h"
#include "settings/ProfileFile.h"
#include "settings/ProgramFolder.h"
#include "settings/SamplingConfig.h"

namespace {

using namespace kestiva;

void BM_LanguageCatalogueLoad(benchmark::State& state) {
    for (auto _ : state) {
        LanguageCatalogue catalogue(programFolder());
        catalogue.languageLoaded = true;
        catalogue.LoadLanguageCatalogue();
        if (!catalogue.languageLoaded)
            state.SkipWithError("LanguageData.ini did not load");
        benchmark::DoNotOptimize(catalogue.size());
    }
}
BENCHMARK(BM_LanguageCatalogueLoad);

void BM_SamplingConfigLoadAndValidate(benchmark::State& state) {
    const std::string path = samplingConfigPath(programFolder());
    for (auto _ : state) {
        SamplingConfig config;
        if (LoadSamplingConfig(path, config) != 0 || ValidateDataControllers(config.data()) != 0 ||
            ValidateIoControllers(config.io()) != 0) {
            state.SkipWithError("DataSamplingConfig.ini did not load");
        }
        benchmark::DoNotOptimize(config.data().controllers[0].name.data());
    }
}
BENCHMARK(BM_SamplingConfigLoadAndValidate);

// Six rewrites, each replacing the file through a temporary file (fsync included).
void BM_CommunicationSettingsSave(benchmark::State& state) {
    const std::string source = communicationSettingsPath(programFolder());
    const std::string copy =
        (std::filesystem::temp_directory_path() / "kestiva-bench-CommunicationSetting.ini")
            .string();
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);
    CommunicationSettings settings;
    loadCommunicationSettings(copy, settings);
    for (auto _ : state) {
        settings.bitRate = settings.bitRate == 38400 ? 115200 : 38400;
        saveCommunicationSettings(copy, settings);
    }
    std::filesystem::remove(copy);
}
BENCHMARK(BM_CommunicationSettingsSave)->Unit(benchmark::kMicrosecond);

// Reading one value of a large profile: the whole file is parsed for each read.
void BM_ProfileReadLargeFile(benchmark::State& state) {
    std::string text = "[S]\n";
    for (int i = 0; i < state.range(0); ++i)
        text += "KEY" + std::to_string(i) + "=value\n";
    for (auto _ : state) {
        ProfileFile file(text);
        std::string value;
        benchmark::DoNotOptimize(file.getString("S", "KEY0", 260, value));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ProfileReadLargeFile)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();

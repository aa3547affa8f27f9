// The built program on other hosts and systems: a big-endian host, a batch
// system.
#include "e2e_fixture.hpp"

using namespace sactest;

TEST_F(Converter, BigEndianHostReadsBigEndianWhateverTheArgument)
{
    if (!host_is_big_endian()) GTEST_SKIP() << "little-endian host";
    const std::vector<float> data{1, -2, 3.5f};
    write_file(path("x.sac"), make_sac(0.5f, 2, 3, data, true));
    for (const char* mode : {"1", "0"}) expect_converted({path("x.sac"), mode}, reference_table(0.5f, 2, data));
    expect_converted({path("x.sac")}, reference_table(0.5f, 2, data));
    write_file(path("x.sac"), make_sac(0.5f, 2, 3, data, false));
    expect_refused({path("x.sac"), "1"},
                   "Wrong Byte Order in " + path("x.sac") + ": the file looks little-endian, which this host does not read. Exiting...");
}

// The job-array script on the private Slurm that tests/run_all.sh starts as
// root: every listed file converted, every failure named, the job failed.
TEST_F(Converter, SlurmArrayConvertsItsListAndNamesEveryFailure)
{
    if (env_or("SACTAB_SLURM_TEST", "") != "1") GTEST_SKIP() << "no private Slurm (tests/run_all.sh starts one as root)";
    const std::vector<std::string> bad{path("missing.sac"), path("cut short.sac"), path("notes.txt")};
    write_file(bad[1], default_order_sac(0.01f, 0, 10, {1, 2}));
    write_file(bad[2], std::string("not a recording\n"));
    std::string list;
    std::vector<std::pair<std::string, std::vector<float>>> good;
    for (std::size_t i = 0; i < 300; ++i) {
        const auto sample = static_cast<float>(i);
        good.push_back({path((i == 7 ? "with space " : "event") + std::to_string(i) + ".sac"), std::vector<float>(i % 40, sample)});
        write_file(good.back().first, default_order_sac(0.01f, sample, static_cast<std::int32_t>(i % 40), good.back().second));
        list += good.back().first + "\n" + (i % 100 == 50 ? bad[i / 100] + "\n" : "");
    }
    write_file(path("list"), list);
    setenv("SACTAB_SCRIPT", SACTAB_SOURCE_DIR "/examples/slurm/sactab-array.sbatch", 1);
    // A strided array, with precise tables: every line converted once.
    const auto submit = [&](const std::string& array) {
        return run_shell("SACTAB=\"$SACTAB_UNDER_TEST\" sbatch -Q --wait --array=" + array +
                             " --cpus-per-task=2 -o 'slurm-%a.out' \"$SACTAB_SCRIPT\" -p list",
                         folder);
    };
    EXPECT_NE(submit("0-6:2"), 0);
    for (const auto& [file, data] : good)
        ASSERT_EQ(first_difference(read_file(file + ".asc").value_or("none\n"), reference_table(0.01f, data.empty() ? 0.0f : data[0], data, true)), "") << file;
    std::string said;
    for (int task = 0; task <= 6; task += 2) said += read_file(path("slurm-" + std::to_string(task) + ".out")).value_or("");
    for (const auto& file : bad) EXPECT_NE(said.find(file + ": "), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << said;
    // A list of tasks that cannot share the lines evenly converts nothing.
    std::remove(good[0].first.append(".asc").c_str());
    EXPECT_NE(submit("1,2,5"), 0);
    EXPECT_FALSE(read_file(good[0].first));
    for (const char* task : {"1", "2", "5"})
        EXPECT_NE(read_file(path("slurm-" + std::string(task) + ".out")).value_or("").find("no range"), std::string::npos) << task;
}

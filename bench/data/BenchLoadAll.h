// What the loading benchmarks of files and of web servers share: every picture asked
// for at once through the public data service, then the wait for the loading queue.
#ifndef ORVANE_BENCH_DATA_BENCHLOADALL_H
#define ORVANE_BENCH_DATA_BENCHLOADALL_H

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "OvControl.h"
#include "OvData.h"
#include "data/OvMemManager.h"

namespace bench {

// Initialises infos[i] as an image descriptor of names[i], asks for each, and waits
// until no request is left in the loading queue. Returns the seconds it took.
inline double RequestAllAndWait(COvControl& control, std::vector<COvDataInfo>& infos,
                                const std::vector<std::string>& names) {
    const auto start = std::chrono::steady_clock::now();
    COvMemData* data = nullptr;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        infos[i].Init(1, names[i].c_str(), 0, 0);
        control.GetData(&data, &infos[i], nullptr);
    }
    while (control.m_pMemManager->m_LoadingCue.GetCount() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace bench

#endif

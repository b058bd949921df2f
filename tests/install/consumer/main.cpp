#include <Orvane.h>

#include <cstdio>

int main() {
    COvControl control;
    if (control.Init(1 << 20, nullptr) != 0)
        return 1;
    COvString version(COvControl::GetVersion(0));
    std::printf("%s (%d bytes)\n", static_cast<const char*>(version), version.GetLength());
    control.Exit();
    return 0;
}

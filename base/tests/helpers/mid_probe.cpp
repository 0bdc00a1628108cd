// Prints what the machine identifier is made of here, one "name=value" a line
// ("-" for a probe that found nothing), so tests can run it in other processes
// and in network namespaces of their own.
#include <stdio.h>

#include "base/disk_serial.h"
#include "base/mac_address.h"
#include "base/machine_id.h"

namespace {

void Print(const char* name, bool found, const char* value) {
    printf("%s=%s\n", name, found ? value : "-");
}

}  // namespace

int main() {
    char mid[64] = {};
    base::ComputeMid2(mid, sizeof(mid));
    Print("mid", mid[0] != '\0', mid);
    char text[100] = {};
    Print("cpu", base::GetCpuIdText(text, sizeof(text)), text);
    char cards[100] = {};
    Print("cards", base::MacByNetworkCards(cards, sizeof(cards)), cards);
    char netbios[100] = {};
    Print("netbios", base::MacByNetbios(netbios, sizeof(netbios)), netbios);
    return 0;
}

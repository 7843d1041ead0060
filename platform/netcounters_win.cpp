#include "netcounters.h"

// MIB_IF_ROW2 and GetIfEntry2 are declared only after the IP helper types of ws2ipdef.h, and winsock2.h
// must come before windows.h.
#include <winsock2.h>

#include <ws2ipdef.h>

#include "widetext_win.h"

#include <windows.h>

#include <iphlpapi.h>

namespace nimbra::platform {
namespace {

// The numbers windowsInterfaceRow classifies by.
static_assert(IF_OPER_STATUS_OPERATIONAL == 5);
static_assert(IF_TYPE_SOFTWARE_LOOPBACK == 24 && IF_TYPE_TUNNEL == 131);

} // namespace

std::optional<std::vector<InterfaceCounterRow>> readInterfaceCounterRows()
{
    ULONG size = 0;
    if (GetIfTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return std::nullopt;
    std::vector<unsigned char> buffer(size);
    auto *table = reinterpret_cast<MIB_IFTABLE *>(buffer.data());
    if (GetIfTable(table, &size, FALSE) != NO_ERROR)
        return std::nullopt;

    std::vector<InterfaceCounterRow> rows;
    rows.reserve(table->dwNumEntries);
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IFROW &row = table->table[i];
        DWORD descriptionLength = row.dwDescrLen < sizeof row.bDescr ? row.dwDescrLen : sizeof row.bDescr;
        while (descriptionLength > 0 && row.bDescr[descriptionLength - 1] == 0)
            --descriptionLength;
        rows.push_back(
            windowsInterfaceRow(std::string(reinterpret_cast<const char *>(row.bDescr), descriptionLength),
                                row.dwOperStatus, row.dwType, row.dwInOctets, row.dwOutOctets));
    }
    return rows;
}

std::optional<ByteTotals> readInterfaceByteTotals(const std::string &name)
{
    // The alias is what the core names its adapter; the older table only knows descriptions.
    const std::wstring alias = widen(name);
    NET_LUID luid = {};
    if (alias.empty() || ConvertInterfaceAliasToLuid(alias.c_str(), &luid) != NO_ERROR)
        return std::nullopt;
    MIB_IF_ROW2 row = {};
    row.InterfaceLuid = luid;
    if (GetIfEntry2(&row) != NO_ERROR)
        return std::nullopt;
    return ByteTotals{row.InOctets, row.OutOctets};
}

} // namespace nimbra::platform

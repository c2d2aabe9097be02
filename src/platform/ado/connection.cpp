// SPDX-License-Identifier: Apache-2.0
#include "ado/connection.h"

#include <map>

#include "ado/error.h"
#include "ado/recordset.h"
#include "jet/table_def.h"

namespace ado {

namespace {

std::map<std::string, ProviderKind>& providerKinds() {
    static std::map<std::string, ProviderKind> kinds;
    return kinds;
}

ProviderFactory& providerFactory() {
    static ProviderFactory factory;
    return factory;
}

std::string restriction(const std::vector<Value>& r, size_t i) {
    return i < r.size() && r[i].is<std::string>() ? r[i].as<std::string>() : std::string();
}

}  // namespace

void SetProviderFactory(ProviderFactory factory) { providerFactory() = std::move(factory); }

void RegisterProvider(const std::string& name, ProviderKind kind) { providerKinds()[name] = std::move(kind); }

Connection::~Connection() {
    if (provider_) Close();
}

void Connection::Open(const std::string& text, const std::string&, const std::string&, long) {
    if (provider_) throw Error(kErrObjectOpen, "Operation is not allowed when the object is open.");
    if (providerFactory()) {
        provider_ = providerFactory()(text);
        return;
    }
    ConnectionString cs(text);
    std::string provider = cs.get("Provider");
    if (!provider.empty())
        for (const auto& [name, kind] : providerKinds())
            if (kind.serves(provider)) {
                provider_ = kind.open(cs);
                return;
            }
    throw Error(kErrProviderNotFound, provider.empty() ? "No provider is named in the connection string."
                                                       : "Provider cannot be found: '" + provider + "'.");
}

void Connection::Open(std::unique_ptr<Provider> provider) {
    if (provider_) throw Error(kErrObjectOpen, "Operation is not allowed when the object is open.");
    provider_ = std::move(provider);
}

void Connection::Close() {
    if (!provider_) throw Error(kErrObjectClosed, "Operation is not allowed when the object is closed.");
    // Closing a recordset detaches it, so work on a copy.
    std::set<Recordset*> open = recordsets_;
    for (Recordset* rs : open) rs->Close();
    provider_.reset();
}

void Connection::Execute(const std::string& statement, long* records_affected, long) {
    long changed = provider().execute(statement);
    if (records_affected) *records_affected = changed;
}

Provider& Connection::provider() {
    if (!provider_) throw Error(kErrObjectClosed, "Operation is not allowed when the object is closed.");
    return *provider_;
}

std::unique_ptr<Recordset> Connection::OpenSchema(SchemaEnum schema, const std::vector<Value>& restrictions) {
    Provider& p = provider();
    if (schema != adSchemaTables) throw Error(kErrNotSupported, "This schema is not supported.");
    std::string name = restriction(restrictions, 2), type = restriction(restrictions, 3);
    std::vector<FieldInfo> fields = {{"TABLE_CATALOG", adVarWChar}, {"TABLE_SCHEMA", adVarWChar},
                                     {"TABLE_NAME", adVarWChar},    {"TABLE_TYPE", adVarWChar},
                                     {"TABLE_GUID", adGUID},        {"DESCRIPTION", adVarWChar}};
    std::vector<std::vector<Value>> rows;
    for (const TableInfo& t : p.tables()) {
        if (!name.empty() && !jet::sameName(name, t.name)) continue;
        if (!type.empty() && !jet::sameName(type, t.type)) continue;
        rows.push_back({Value(), Value(), t.name, t.type, Value(), Value()});
    }
    auto rs = std::make_unique<Recordset>();
    rs->OpenRows(std::make_unique<MemoryRows>(std::move(fields), std::move(rows)), *this, adOpenStatic);
    return rs;
}

}  // namespace ado

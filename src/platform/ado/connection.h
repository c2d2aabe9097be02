// SPDX-License-Identifier: Apache-2.0
// Connection: the one open database. Open reads the provider and the data
// source from the connection string; Close ends it and every recordset
// still open on it.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ado/connection_string.h"
#include "ado/provider.h"
#include "ado/types.h"

namespace ado {

class Recordset;

// A backend a connection string can name by its "Provider" value. Backends
// are built above this interface, so each is registered when the program
// starts (RegisterJetProvider, RegisterServerProvider); registering a name
// again replaces it.
struct ProviderKind {
    std::function<bool(const std::string& provider)> serves;
    std::function<std::unique_ptr<Provider>(const ConnectionString&)> open;
};
void RegisterProvider(const std::string& name, ProviderKind kind);

// Tests put a provider of their own in place of the one a connection string
// names, to see what the windows send and to script the answers; an empty
// factory puts the named providers back.
using ProviderFactory = std::function<std::unique_ptr<Provider>(const std::string& connection_string)>;
void SetProviderFactory(ProviderFactory factory);

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the source the connection string names, through the registered
    // backend that serves its "Provider" (3706 when none does).
    void Open(const std::string& connection_string, const std::string& user = "", const std::string& password = "",
              long options = adCmdUnspecified);
    // Opens over a provider the caller made, such as an in-memory source
    // for tests; raises 3705 when already open, like Open.
    void Open(std::unique_ptr<Provider> provider);
    // Raises 3704 when the connection is already closed.
    void Close();
    ObjectState State() const { return provider_ ? adStateOpen : adStateClosed; }

    // Runs one statement; rows it returns are dropped. `records_affected`,
    // when given, receives the number of rows the statement changed.
    void Execute(const std::string& statement, long* records_affected = nullptr, long options = adCmdUnspecified);
    // Stops the statement that runs now (see Provider::cancel); safe from a
    // signal handler. Nothing when closed or idle.
    void Cancel() {
        if (Provider* p = provider_.get()) p->cancel();
    }
    // Reports the progress of the statements that follow (see
    // Provider::setProgress); an empty function stops it. Nothing when closed.
    void SetProgress(Provider::Progress progress) {
        if (Provider* p = provider_.get()) p->setProgress(std::move(progress));
    }
    // Values, by name, for the parameters of the statements run after, and
    // of the saved queries they read (3251 where the provider takes none).
    void SetParameters(const std::vector<std::pair<std::string, std::string>>& values) {
        provider().setParameters(values);
    }

    // adSchemaTables; restrictions: catalog, schema, table name, table type,
    // each ignored when empty or Null.
    std::unique_ptr<Recordset> OpenSchema(SchemaEnum schema, const std::vector<Value>& restrictions = {});

    // For recordsets: the open provider (3704 when closed).
    Provider& provider();
    void attach(Recordset* rs) { recordsets_.insert(rs); }
    void detach(Recordset* rs) { recordsets_.erase(rs); }

private:
    std::unique_ptr<Provider> provider_;
    std::set<Recordset*> recordsets_;
};

}  // namespace ado

#include "test_server.h"

#include "ado/connection.h"
#include "ado/connection_string.h"
#include "ado/error.h"
#include "ado/server_connection_string.h"

namespace testserver {

std::string ConnectionString(const std::string& password, const std::string& server) {
    return "Provider=SQLOLEDB.1;User ID=" + kUser + ";password=" + ado::QuoteConnectionValue(password) +
           ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Initial Catalog=" + kDatabase +
           ";Data Source=" + server;
}

bool Available(std::string& why) {
    ado::SetServerDriver("PostgreSQL Unicode");
    try {
        ado::Connection cn;
        cn.Open(ConnectionString());
        return true;
    } catch (const ado::Error& e) {
        why = std::to_string(e.number()) + " " + e.description();
        return false;
    }
}

void Run(const std::string& sql) {
    ado::Connection cn;
    cn.Open(ConnectionString());
    cn.Execute(sql);
}

}  // namespace testserver

#pragma once
// The program's own check of a server's certificate, made after the TLS handshake because
// Wine's SChannel accepts any certificate: a chain to a root the system trusts (the server's
// intermediates taken from the certificate's own store), for a web server, within its dates,
// made out for the host, and none of its certificates but the root revoked, as far as the
// issuers' lists say within a few seconds. Through crypt32; what the findings mean is
// net/certificate_verdict.

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace net {

// Throws certificate_refused, with the reason and the system's code, unless `cert` passes for
// `host` (a name, or an address literal compared with the addresses the certificate names).
void check_certificate(PCCERT_CONTEXT cert, const std::string& host);

// Builds one chain, so that the first check of the process does not wait while the chain
// engine reads every root store (a few hundred milliseconds under Wine). Any thread.
void prepare_certificate_check();

}  // namespace net

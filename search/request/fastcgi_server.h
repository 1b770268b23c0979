// The persistent mode: the web server starts quorix with a listening socket as
// its standard input (the FastCGI convention) and quorix answers request after
// request, each one exactly as a CGI run would.
#pragma once

namespace quorix {

// True when standard input is a listening socket rather than a CGI request.
bool StartedAsFastCgi();

// Accepts and answers requests until the web server closes the socket or asks
// the process to stop. `argv0` locates the program directory as in a CGI run.
// Returns the process's exit status.
int ServeFastCgiRequests(const char* argv0);

}  // namespace quorix

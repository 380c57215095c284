"""Loopback FTP server for the tests (pyftpdlib): one user with a password
and anonymous access, each with a writable root of its own.

  pyftpd.py PORT USER PASSWORD USER_ROOT ANON_ROOT [CERT KEY [OTHER_CERT OTHER_KEY]]

With a certificate and its key, an FTPS server that requires TLS on the
control and every data connection. With a second certificate and its key as
well, an FTPS server with two faults for the tests, chosen by the name of the
file a RETR or STOR names:
  - a name containing "mismatch": the data connection presents the second
    certificate instead of the control connection's;
  - a name containing "cutoff" (RETR): after the file, the data connection
    is closed without TLS close_notify, and the reply is still 226.
Every other command behaves as in the plain FTPS server."""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer
from OpenSSL import SSL


def other_context(certfile, keyfile):
    context = SSL.Context(SSL.SSLv23_METHOD)
    context.set_options(TLS_FTPHandler.ssl_options)
    context.use_certificate_chain_file(certfile)
    context.use_privatekey_file(keyfile)
    return context


class FaultyDTPHandler(TLS_DTPHandler):
    """A data connection that follows its control connection's fault."""

    def __init__(self, sock, cmd_channel):
        super().__init__(sock, cmd_channel)
        self.apply_fault()

    def apply_fault(self):
        # The certificate is chosen when the client's hello arrives, which
        # the client sends only after the reply to RETR or STOR: changing the
        # context until then changes what the handshake presents.
        if isinstance(self.socket, SSL.Connection) and self._ssl_accepting:
            channel = self.cmd_channel
            self.socket.set_context(channel.other_context if channel.fault == "mismatch" else channel.ssl_context)

    def close(self):
        # A download whose file has gone out whole ends without close_notify.
        if (self.cmd_channel.fault == "cutoff" and not self.receive and self._ssl_established
                and not self.producer_fifo):
            self._ssl_established = False
            DTPHandler.close(self)
        else:
            super().close()


class FaultyFTPHandler(TLS_FTPHandler):
    dtp_handler = FaultyDTPHandler
    other_context = None
    fault = None

    def pre_process_command(self, line, cmd, arg):
        if cmd in ("RETR", "STOR"):
            name = (arg or "").lower()
            self.fault = "mismatch" if "mismatch" in name else "cutoff" if "cutoff" in name else None
        elif cmd in ("LIST", "NLST", "MLSD", "APPE", "STOU"):
            self.fault = None
        if self.data_channel is not None and isinstance(self.data_channel, FaultyDTPHandler):
            self.data_channel.apply_fault()
        super().pre_process_command(line, cmd, arg)


# Besides the commands pyftpdlib logs itself, the ones the tests look for on
# the wire (listings, FEAT, the file times).
LOGGED_COMMANDS = FTPHandler.log_cmds_list + ["FEAT", "LIST", "MLSD", "MFMT", "RETR", "OPTS"]


def main():
    port, user, password, user_root, anon_root = sys.argv[1:6]
    auth = DummyAuthorizer()
    auth.add_user(user, password, user_root, perm="elradfmwMT")
    auth.add_anonymous(anon_root, perm="elradfmwMT")
    if len(sys.argv) > 7:
        handler = TLS_FTPHandler
        if len(sys.argv) > 9:
            handler = FaultyFTPHandler
            handler.other_context = other_context(sys.argv[8], sys.argv[9])
        handler.certfile = sys.argv[6]
        handler.keyfile = sys.argv[7]
        handler.tls_control_required = True
        handler.tls_data_required = True
    else:
        handler = FTPHandler
    handler.log_cmds_list = LOGGED_COMMANDS
    handler.authorizer = auth
    handler.banner = "pyftpdlib ready."
    handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", int(port)), handler)
    server.max_cons = 64
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()

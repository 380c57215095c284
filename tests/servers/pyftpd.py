"""Loopback FTP server for the tests (pyftpdlib): one user with a password
and anonymous access, each with a writable root of its own. With a
certificate and its key as further arguments, an FTPS server that requires
TLS on the control and every data connection."""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port, user, password, user_root, anon_root = sys.argv[1:6]
    auth = DummyAuthorizer()
    auth.add_user(user, password, user_root, perm="elradfmwMT")
    auth.add_anonymous(anon_root, perm="elradfmwMT")
    if len(sys.argv) > 7:
        handler = TLS_FTPHandler
        handler.certfile = sys.argv[6]
        handler.keyfile = sys.argv[7]
        handler.tls_control_required = True
        handler.tls_data_required = True
    else:
        handler = FTPHandler
    handler.authorizer = auth
    handler.banner = "pyftpdlib ready."
    handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", int(port)), handler)
    server.max_cons = 64
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()

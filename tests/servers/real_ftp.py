"""A real FTP server for the transfer tests: pyftpdlib from Debian's python3-pyftpdlib, read-only,
rooted at ROOT, for anonymous and for the user "quovar" with the password "p@ss:w/rd" (characters
a URL must encode), listening on a free port of the loopback ADDRESS (127.0.0.1 unless given) that it writes to PORT_FILE.
Passive data connections are opened on the control connection's address, so on loopback too. With
a RATE other than 0 every data connection sends at most RATE bytes a second (a slow server).

    real_ftp.py PORT_FILE ROOT [RATE [ADDRESS]]"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port_file, root = sys.argv[1], sys.argv[2]
    rate = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    address = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
    logging.basicConfig(level=logging.INFO)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)  # list and read only
    authorizer.add_user("quovar", "p@ss:w/rd", root, perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    if rate:
        ThrottledDTPHandler.read_limit = ThrottledDTPHandler.write_limit = rate
        handler.dtp_handler = ThrottledDTPHandler
    server = FTPServer((address, 0), handler)
    port = server.socket.getsockname()[1]
    with open(port_file + ".tmp", "w") as f:
        f.write(str(port))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()

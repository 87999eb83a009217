#!/usr/bin/python3
"""A throwaway RFC 3161 timestamp authority on 127.0.0.1, for rehearsing a
timestamped signature: it makes its own certificate, answers each POSTed
query with `openssl ts -reply`, and prints its address once it listens.

usage: timestamp_server.py FOLDER   (its keys and serial file go there)
"""
import argparse
import http.server
import os
import subprocess

CONFIG = """[tsa]
default_tsa = here
[here]
serial = {folder}/serial
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
ess_cert_id_alg = sha256
"""


def make_authority(folder):
    with open(os.path.join(folder, "tsa.cnf"), "w") as out:
        out.write(CONFIG.format(folder=folder))
    with open(os.path.join(folder, "serial"), "w") as out:
        out.write("01\n")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Quorvast test TSA",
                    "-addext", "extendedKeyUsage=critical,timeStamping", "-keyout", os.path.join(folder, "tsa.key"),
                    "-out", os.path.join(folder, "tsa.pem")], check=True, capture_output=True)


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        folder = self.server.folder
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(folder, "tsa.cnf"), "-queryfile", "/dev/stdin",
                                "-inkey", os.path.join(folder, "tsa.key"), "-signer", os.path.join(folder, "tsa.pem"),
                                "-out", "/dev/stdout"], input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *arguments):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    folder = os.path.abspath(parser.parse_args().folder)
    make_authority(folder)
    server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
    server.folder = folder
    print("http://127.0.0.1:%d/" % server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()

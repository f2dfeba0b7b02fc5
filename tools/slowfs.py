#!/usr/bin/python3
# A passthrough FUSE file system that answers like a network share over Wi-Fi: each folder
# listing, each open and each megabyte read waits as long as asked. Only reads pass through.
#   tools/slowfs.py SOURCE MOUNTPOINT [--list-ms 40] [--open-ms 20] [--mb-ms 100]
# Run with Debian's python3 (python3-fusepy); unmount with fusermount -u MOUNTPOINT.
import argparse
import errno
import os
import time

from fusepy import FUSE, FuseOSError, Operations


class SlowFs(Operations):
    def __init__(self, root, list_s, open_s, mb_s):
        self.root, self.list_s, self.open_s, self.mb_s = root, list_s, open_s, mb_s

    def _real(self, path):
        return os.path.join(self.root, path.lstrip('/'))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        keys = ('st_mode', 'st_nlink', 'st_size', 'st_uid', 'st_gid', 'st_atime', 'st_mtime',
                'st_ctime')
        return {k: getattr(st, k) for k in keys}

    def opendir(self, path):
        time.sleep(self.list_s)
        return 0

    def readdir(self, path, fh):
        try:
            names = os.listdir(self._real(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        return ['.', '..'] + names

    def readlink(self, path):
        return os.readlink(self._real(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        time.sleep(self.open_s)
        return os.open(self._real(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        data = os.pread(fh, size, offset)
        time.sleep(self.mb_s * len(data) / (1024 * 1024))
        return data

    def release(self, path, fh):
        os.close(fh)
        return 0


def main():
    p = argparse.ArgumentParser()
    p.add_argument('source')
    p.add_argument('mountpoint')
    p.add_argument('--list-ms', type=float, default=40)
    p.add_argument('--open-ms', type=float, default=20)
    p.add_argument('--mb-ms', type=float, default=100)
    a = p.parse_args()
    FUSE(SlowFs(os.path.abspath(a.source), a.list_ms / 1000, a.open_ms / 1000, a.mb_ms / 1000),
         a.mountpoint, foreground=True, ro=True, allow_other=True, nothreads=False)


if __name__ == '__main__':
    main()

#!/usr/bin/python3
# Makes a photograph library of hard links: COUNT photographs in FOLDERS album folders under
# ROOT ("Album 0001/IMG_0000001.jpg", ...), each a link to a copy of one of the SOURCE JPEGs in
# turn. A file takes about 65,000 links on ext4, so each 60,000 links get a copy of their own
# (in ROOT/.sources, which the show skips as hidden): a million photographs need 17.
#   tools/make-library.py ROOT COUNT FOLDERS SOURCE.jpg...
import os
import shutil
import sys

root, count, folders, sources = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
per_source = 60000
if count > per_source * len(sources):
    sys.exit('make-library.py: %d sources are too few for %d links' % (len(sources), count))
per_folder = (count + folders - 1) // folders
copies = os.path.join(root, '.sources')
os.makedirs(copies, exist_ok=True)
made = 0
for f in range(folders):
    album = os.path.join(root, 'Album %04d' % (f + 1))
    os.makedirs(album, exist_ok=True)
    for i in range(per_folder):
        if made == count:
            break
        target = os.path.join(album, 'IMG_%07d.jpg' % (made + 1))
        if not os.path.exists(target):
            copy = os.path.join(copies, 'src%d.jpg' % (made // per_source))
            if not os.path.exists(copy):
                shutil.copyfile(sources[made // per_source], copy)
            os.link(copy, target)
        made += 1
print('%d photographs in %d folders under %s' % (made, folders, root))

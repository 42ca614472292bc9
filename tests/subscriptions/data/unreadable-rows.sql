INSERT INTO feed (url, name, about) VALUES
  ('https://n.example/', NULL, 'xjq'),
  ('https://b.example/', 'Blob xjq', x'00ff'),
  (x'6869', 'Blob url xjq', ''),
  ('https://g.example/', 'Good xjq', 'fine')

#!/usr/bin/env bash
# gensite.sh DIR [PAGES]: writes a small site of hand-written-looking files to DIR: indented
# pages with comments, inline style and script and Chinese text (UTF-8), style sheets with
# comments, ES5 scripts, an RSS feed and a sitemap.
set -euo pipefail
out=${1:?usage: gensite.sh DIR [PAGES]}
pages=${2:-20}
mkdir -p "$out/css" "$out/js" "$out/news"

for i in $(seq 1 "$pages"); do
  {
    cat <<HTML
<!DOCTYPE html>
<html lang="zh-CN">
  <head>
    <meta charset="utf-8">
    <title>  植物图鉴 第 $i 页  </title>
    <link rel="stylesheet"   href="css/site.css"   type="text/css">
    <!-- page $i: generated for the benchmark -->
    <style type="text/css">
      .card-$i   {   margin : 0px 0px 10px 0px ;  color : #ffffff ;  background-color : #336699 ; }
      .card-$i  h2 { font-weight : bold ; }
    </style>
    <script type="text/javascript">
      // highlight the current row
      function highlight_$i( rowElement , enabled ) {
        var className = enabled ? "active" : "";
        rowElement.className = className;   /* done */
        return className;
      }
    </script>
  </head>
  <body   class="page-$i"   >
    <div id="header">
      <h1>   植物图鉴   </h1>
      <ul class="menu">
        <li><a href="index.html">  首页  </a></li>
        <li><a href="news/index.html">   新闻   </a></li>
      </ul>
    </div>
HTML
    for r in $(seq 1 12); do
      cat <<HTML
    <div class="card-$i">
      <h2>   条目 $r: 兰花 Orchid $r   </h2>
      <p>
        兰花是单子叶植物，   多为附生，   花形奇特。
        The orchid family is one of the two largest families of flowering plants,
        with about   28,000   accepted species.
      </p>
      <table   border="0"   cellpadding="2">
        <tr>  <td>   Height  </td>   <td>  ${r}0 cm  </td>  </tr>
        <tr>  <td>   Light   </td>   <td>  partial shade  </td>  </tr>
      </table>
    </div>
HTML
    done
    cat <<HTML
    <pre>
  code   sample $i
    indented   line
    </pre>
    <textarea   name="note">   keep
   this   </textarea>
    <!-- footer -->
    <div id="footer">   &copy; 2024   Larkspan   </div>
  </body>
</html>
HTML
  } > "$out/page$i.html"
done
cp "$out/page1.html" "$out/news/index.html"

for i in 1 2 3; do
  {
    echo "/* Style sheet $i: layout and colours */"
    for r in $(seq 1 40); do
      cat <<CSS

/* block $r */
.block-$i-$r  {
    margin : 0px  auto ;
    padding : 10px 20px 10px 20px ;
    color : #ff0000 ;
    background : url( "../img/bg-$r.png" )  no-repeat ;
    font-family : "Microsoft YaHei" , sans-serif ;
}
.block-$i-$r:hover  { color : #00ff00 ; }
CSS
    done
  } > "$out/css/style$i.css"
done

for i in 1 2 3; do
  {
    echo "/* Script $i: menu and table helpers (ES5) */"
    for r in $(seq 1 30); do
      cat <<JS

// Toggles the rows of table $r.
function toggleRows_$r( tableElement , visibleFlag ) {
    var rowList = tableElement.getElementsByTagName( "tr" );
    for ( var rowIndex = 0 ; rowIndex < rowList.length ; rowIndex++ ) {
        var currentRow = rowList[ rowIndex ];
        currentRow.style.display = visibleFlag ? "" : "none";   // hide or show
    }
    return rowList.length;
}
JS
    done
  } > "$out/js/app$i.js"
done

{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<rss version="2.0">'
  echo '  <channel>'
  for r in $(seq 1 40); do
    cat <<XML
    <item>
      <title>   新闻 $r   </title>
      <link>http://example.org/news/$r.html</link>
      <description>   Orchid news number $r.   </description>
    </item>
XML
  done
  echo '  </channel>'
  echo '</rss>'
} > "$out/feed.xml"
